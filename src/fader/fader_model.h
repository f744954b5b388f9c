#pragma once
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "fader/button_images.h"
#include "fader/property_bag.h"

// The slider control's state, geometry and behaviour, without a display: the widget in fader.h
// hands it sizes and pointer events and paints the drawing operations it leaves on its surface.
namespace fader {

// Mouse button bits as the mouse procedures receive them, or-ed together.
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kMiddleButton = 4;

// The control's size across its track: 335 twips, 22 pixels at 15 twips a pixel.
inline constexpr int kCrossSizeTwips = 335;
inline constexpr int kCrossSize = 22;

// One step of a redraw, in pixels of the control (origin top left, y downwards).
struct DrawOp {
    enum class Type {
        Clear, // the whole surface in `color`
        Box,   // the outline of the rectangle between (x1, y1) and (x2, y2), both corners included,
               // in `color`, `penWidth` pixels wide; with no width or no height it is a line
        Copy,  // `image` copied with its top-left corner at (x, y), replacing what is there
    };
    Type type = Type::Clear;
    std::uint32_t color = 0; // 0x00BBGGRR
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int penWidth = 1;
    ButtonImage image = ButtonImage::None;
    int x = 0, y = 0;

    bool operator==(const DrawOp &) const = default;
};

class FaderModel {
public:
    // Every field zero; UserControl_Initialize gives the defaults.
    FaderModel() = default;

    // Told the name of a property ("Value", "Max", ...) each time its Let runs, so that the
    // container knows its stored layout is out of date.
    std::function<void(std::string_view name)> PropertyChanged;

    // Property Get: the stored field, nothing else.
    std::int32_t Value() const { return value_; }
    std::int32_t Max() const { return max_; }
    std::int32_t Style() const { return style_; }
    bool HalfMark() const { return halfMark_; }
    std::int32_t HalfMarkColor() const { return halfMarkColor_; }
    std::int32_t BackColor() const { return backColor_; }
    bool TickMarks() const { return tickMarks_; }
    std::int16_t TickMarkCnt() const { return tickMarkCnt_; }
    std::int32_t ButSz() const { return butSz_; }

    // Property Let. Every one reports its name; all but SetMax redraw (SetStyle through a resize).
    // SetValue refuses a value outside -32768..32767: it returns false and leaves Value as it
    // was, without a redraw. Within that range it stores the value and the redraw clamps it to
    // 0..Max.
    bool SetValue(std::int32_t NewValue);
    void SetMax(std::int32_t NewMax); // Value is compared with it only at the next redraw
    void SetStyle(std::int32_t NewStyle);
    void SetHalfMark(bool NewHalfMark);
    void SetHalfMarkColor(std::int32_t NewHalfMarkColor);
    void SetBackColor(std::int32_t NewBackColor);
    void SetTickMarks(bool NewTickMarks);
    void SetTickMarkCnt(std::int16_t NewTickMarkCnt);
    void SetButSz(std::int32_t NewButSz); // keeps the geometry and `DraggerSource` as they are

    // The help text published for a property, empty for none or an unknown name.
    static std::string_view Description(std::string_view property);

    // Defaults through the Lets: Max 100, Style 0, no half-way mark in red, black background,
    // tick marks every 5 pixels, small button.
    void UserControl_Initialize();
    // The nine keys in their order, each through its Let. A key whose value does not fit its
    // property (Value or TickMarkCnt outside 16 bits) is skipped; then the result is false.
    bool UserControl_ReadProperties(const PropertyBag &bag);

    // The client area now measures width x height pixels: recompute the track of the current
    // style, fix the size across the track at kCrossSize and redraw. ClientWidth/ClientHeight
    // then give the size the control must take.
    void UserControl_Resize(int clientWidth, int clientHeight);
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }

    // Pixels between two neighbouring values along the track; 0 when Max is below 1.
    double OneIncrement() const;
    // Clamps tValue to 0..Max in place and copies the button image to its position.
    void DrawPicAtValue(std::int16_t &tValue);

    // Pointer handling of a press and of a move (button bits as above, X/Y in pixels). With the
    // left button alone the pointer sets Value (the button's centre follows the pointer), the
    // control redraws and the result is true: the caller raises Scrolling. Otherwise nothing.
    bool UserControl_MouseDown(int button, int shift, float X, float Y);
    bool UserControl_MouseMove(int button, int shift, float X, float Y);

    // What the last redraw (and any later DrawPicAtValue) painted, in order.
    const std::vector<DrawOp> &Surface() const { return surface_; }
    // The small button image chosen by the last SetStyle.
    ButtonImage DraggerSource() const { return draggerSource_; }
    // The image DrawPicAtValue copies with the current Style and ButSz.
    ButtonImage ButtonImageInUse() const;

    std::int16_t VLength() const { return vLength_; }
    std::int16_t VTravel() const { return vTravel_; }
    std::int16_t HLength() const { return hLength_; }
    std::int16_t HTravel() const { return hTravel_; }

private:
    void Report(std::string_view name);
    void DrawFader();
    bool PointerSetsValue(int button, float X, float Y);
    bool Vertical() const { return style_ == 0; }

    std::int16_t value_ = 0;
    std::int32_t max_ = 0;
    std::int32_t style_ = 0;
    bool halfMark_ = false;
    std::int32_t halfMarkColor_ = 0;
    std::int32_t backColor_ = 0;
    bool tickMarks_ = false;
    std::int16_t tickMarkCnt_ = 0;
    std::int32_t butSz_ = 0;
    std::int16_t vLength_ = 0, vTravel_ = 0, hLength_ = 0, hTravel_ = 0;

    ButtonImage draggerSource_ = ButtonImage::None;
    int clientWidth_ = 0, clientHeight_ = 0;
    std::vector<DrawOp> surface_;
};

} // namespace fader
