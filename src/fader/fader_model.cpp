#include "fader/fader_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace fader {

namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kGrooveShadow = 0x404040;
constexpr std::uint32_t kWhite = 0xFFFFFF;

constexpr std::int32_t kTrue = -1; // a Boolean as a stored number
constexpr std::int32_t kInt16Min = std::numeric_limits<std::int16_t>::min();
constexpr std::int32_t kInt16Max = std::numeric_limits<std::int16_t>::max();

bool FitsInt16(std::int32_t v)
{
    return v >= kInt16Min && v <= kInt16Max;
}

std::int16_t SaturateInt16(long long v)
{
    return static_cast<std::int16_t>(std::clamp<long long>(v, kInt16Min, kInt16Max));
}

// The nearest whole number, halves to the even neighbour, held to 16 bits (nothing on the
// screen lies that far out; a pointer or a value beyond it is simply at the end of the range).
std::int16_t Nearest16(double v)
{
    if (std::isnan(v))
        return 0;
    const double r = std::nearbyint(std::clamp<double>(v, kInt16Min, kInt16Max)); // ties to even
    return static_cast<std::int16_t>(r);
}

std::uint32_t Bgr(std::int32_t colour)
{
    return static_cast<std::uint32_t>(colour) & 0xFFFFFFu;
}

DrawOp Box(float x1, float y1, float x2, float y2, std::uint32_t color, int penWidth = 1)
{
    DrawOp op;
    op.type = DrawOp::Type::Box;
    op.x1 = x1;
    op.y1 = y1;
    op.x2 = x2;
    op.y2 = y2;
    op.color = color;
    op.penWidth = penWidth;
    return op;
}

} // namespace

void FaderModel::Report(std::string_view name)
{
    if (PropertyChanged)
        PropertyChanged(name);
}

bool FaderModel::SetValue(std::int32_t NewValue)
{
    Report("Value");
    if (!FitsInt16(NewValue))
        return false;
    value_ = static_cast<std::int16_t>(NewValue);
    DrawFader();
    return true;
}

void FaderModel::SetMax(std::int32_t NewMax)
{
    max_ = NewMax;
    Report("Max");
}

void FaderModel::SetStyle(std::int32_t NewStyle)
{
    style_ = NewStyle;
    if (NewStyle == 0)
        draggerSource_ = butSz_ == 0 ? ButtonImage::DraggerSourceV : ButtonImage::DSV;
    else
        draggerSource_ = butSz_ == 0 ? ButtonImage::DraggerSourceH : ButtonImage::DSH;
    Report("Style");
    UserControl_Resize(clientWidth_, clientHeight_);
}

void FaderModel::SetHalfMark(bool NewHalfMark)
{
    halfMark_ = NewHalfMark;
    Report("HalfMark");
    DrawFader();
}

void FaderModel::SetHalfMarkColor(std::int32_t NewHalfMarkColor)
{
    halfMarkColor_ = NewHalfMarkColor;
    Report("HalfMarkColor");
    DrawFader();
}

void FaderModel::SetBackColor(std::int32_t NewBackColor)
{
    backColor_ = NewBackColor;
    Report("BackColor");
    DrawFader();
}

void FaderModel::SetTickMarks(bool NewTickMarks)
{
    tickMarks_ = NewTickMarks;
    Report("TickMarks");
    DrawFader();
}

void FaderModel::SetTickMarkCnt(std::int16_t NewTickMarkCnt)
{
    tickMarkCnt_ = NewTickMarkCnt;
    Report("TickMarkCnt");
    DrawFader();
}

void FaderModel::SetButSz(std::int32_t NewButSz)
{
    butSz_ = NewButSz;
    Report("ButSz");
    DrawFader();
}

std::string_view FaderModel::Description(std::string_view property)
{
    if (property == "HalfMark")
        return "Show half tick mark or not.";
    if (property == "HalfMarkColor")
        return "Color of the half mark tick";
    if (property == "Max")
        return "Scale maximum you want eg. 100";
    if (property == "Style")
        return "Vertical or Horizontal";
    if (property == "TickMarks")
        return "Show tick marks or not.";
    if (property == "TickMarkCnt")
        return "The spacing between the marks. The larger the number , the farther apart they are.";
    if (property == "Value")
        return "The current cursor position value.";
    return {};
}

void FaderModel::UserControl_Initialize()
{
    // Max first, so that the redraws of the later Lets already have a scale.
    SetMax(100);
    SetStyle(0);
    SetHalfMark(false);
    SetHalfMarkColor(255);
    SetBackColor(0);
    SetTickMarks(true);
    SetTickMarkCnt(5);
    SetButSz(0);
}

bool FaderModel::UserControl_ReadProperties(const PropertyBag &bag)
{
    // The order matters: Max is in force before Value is clamped by its redraw, and Style picks
    // the small button image with the ButSz of that moment.
    bool allApplied = true;
    SetMax(bag.Read("Max", 100));
    allApplied &= SetValue(bag.Read("Value", 0));
    SetStyle(bag.Read("Style", 0));
    SetHalfMark(bag.Read("HalfMark", 0) != 0);
    SetHalfMarkColor(bag.Read("HalfMarkColor", 255));
    SetBackColor(bag.Read("BackColor", 0));
    SetTickMarks(bag.Read("TickMarks", kTrue) != 0);
    const std::int32_t spacing = bag.Read("TickMarkCnt", 5);
    if (FitsInt16(spacing))
        SetTickMarkCnt(static_cast<std::int16_t>(spacing));
    else
        allApplied = false;
    SetButSz(bag.Read("ButSz", 0));
    return allApplied;
}

void FaderModel::UserControl_Resize(int clientWidth, int clientHeight)
{
    clientWidth_ = clientWidth;
    clientHeight_ = clientHeight;
    if (Vertical()) {
        vTravel_ = SaturateInt16(static_cast<long long>(clientHeight) - (butSz_ != 0 ? 30 : 10));
        vLength_ = SaturateInt16(static_cast<long long>(clientHeight) - 1);
        clientWidth_ = kCrossSize;
    } else {
        hTravel_ = SaturateInt16(static_cast<long long>(clientWidth) - (butSz_ != 0 ? 30 : 15));
        hLength_ = SaturateInt16(static_cast<long long>(clientWidth) - 1);
        clientHeight_ = kCrossSize;
    }
    DrawFader();
}

double FaderModel::OneIncrement() const
{
    // A scale below 1 has no steps to space out (and nothing to divide by).
    if (max_ < 1)
        return 0.0;
    int travel;
    if (Vertical())
        travel = butSz_ != 0 ? vTravel_ - 22 : vTravel_ - 1;
    else
        travel = butSz_ != 0 ? hTravel_ - 2 : hTravel_ + 4;
    return travel / static_cast<double>(max_);
}

ButtonImage FaderModel::ButtonImageInUse() const
{
    if (butSz_ != 0)
        return Vertical() ? ButtonImage::DSV : ButtonImage::DSH;
    return draggerSource_;
}

void FaderModel::DrawPicAtValue(std::int16_t &tValue)
{
    std::int32_t v = tValue;
    if (v > max_)
        v = max_;
    if (v < 0)
        v = 0;
    tValue = SaturateInt16(v);

    const double oi = OneIncrement();
    DrawOp op;
    op.type = DrawOp::Type::Copy;
    op.image = ButtonImageInUse();
    if (!Vertical()) {
        op.x = butSz_ != 0 ? Nearest16(tValue * oi) : Nearest16(tValue * oi + 1);
        op.y = 1;
    } else {
        op.x = 1;
        const std::int16_t y = Nearest16((static_cast<double>(max_) - tValue) * oi);
        op.y = butSz_ != 0 ? y : y + 1;
    }
    surface_.push_back(op);
}

void FaderModel::DrawFader()
{
    surface_.clear();
    DrawOp clear;
    clear.type = DrawOp::Type::Clear;
    clear.color = Bgr(backColor_);
    surface_.push_back(clear);

    // A spacing below 1 would never get past the first mark: no marks at all then.
    const bool ticks = tickMarks_ && tickMarkCnt_ > 0;
    if (Vertical()) {
        if (ticks)
            for (int i = 3; i <= vLength_ - 3; i += tickMarkCnt_)
                surface_.push_back(Box(5, static_cast<float>(i + 1), 16, static_cast<float>(i + 1), kBlack));
        if (halfMark_) {
            const float half = vLength_ / 2.0f;
            surface_.push_back(Box(1, half, 22, half, Bgr(halfMarkColor_), 2));
        }
        const float end = vLength_ - 3;
        surface_.push_back(Box(9, 2, 12, 2, kGrooveShadow));
        surface_.push_back(Box(9, 2, 9, end, kGrooveShadow));
        surface_.push_back(Box(12, 3, 12, end, kWhite));
        surface_.push_back(Box(10, 3, 11, end, kBlack));
    } else {
        if (ticks)
            for (int i = 3; i <= hLength_ - 3; i += tickMarkCnt_)
                surface_.push_back(Box(static_cast<float>(i + 1), 6, static_cast<float>(i + 1), 16, kBlack));
        if (halfMark_) {
            const float half = hLength_ / 2.0f;
            surface_.push_back(Box(half, 1, half, 22, Bgr(halfMarkColor_), 2));
        }
        const float end = hLength_ - 4;
        surface_.push_back(Box(4, 10, end, 10, kGrooveShadow));
        surface_.push_back(Box(4, 11, end, 11, kGrooveShadow));
        surface_.push_back(Box(4, 12, end, 12, kWhite));
    }
    DrawPicAtValue(value_);
}

bool FaderModel::PointerSetsValue(int button, float X, float Y)
{
    if (button != kLeftButton)
        return false;
    const float m = butSz_ != 0 ? 15.0f : 5.0f; // half the button's length: the pointer holds its centre
    const double oi = OneIncrement();
    if (oi == 0.0) {
        // No room between the values (a scale below 1, or a track exactly as long as the
        // button's margins): the pointer cannot pick one, Value stays for the redraw to clamp.
    } else if (!Vertical()) {
        const float t = static_cast<float>((X - m) / oi);
        value_ = Nearest16(t);
    } else {
        const float t = static_cast<float>((Y - m) / oi);
        value_ = Nearest16(static_cast<double>(max_) - t);
    }
    DrawFader();
    return true;
}

bool FaderModel::UserControl_MouseDown(int button, int /*shift*/, float X, float Y)
{
    return PointerSetsValue(button, X, Y);
}

bool FaderModel::UserControl_MouseMove(int button, int /*shift*/, float X, float Y)
{
    return PointerSetsValue(button, X, Y);
}

} // namespace fader
