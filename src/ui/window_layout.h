#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The main window described as data: every visible control with its kind, container, place and
// size in twips, caption, colours and font. Widgets are made from this table by controls.h.
// The controls keep their inherited names (Combo1, Check2, PicSlider, ...): NAMES.md beside this
// file says what each is.
namespace ui {

inline constexpr int kTwipsPerPixel = 15;

enum class Kind {
    Picture,      // a painted picture or a plain panel
    Label,
    ComboBox,
    CheckBox,
    Button,
    ToggleButton, // a check box drawn as a large push button (TAP, START/STOP)
    Fader,
    Lamp,
    Shape,        // the current-beat marker bar
};

enum class Art { None, Face, Weight, TopPicture, Plate };
enum class Align { Left, Center };

struct ControlSpec {
    std::string name;   // control name; members of a control array read "imgBeat(3)"
    Kind kind = Kind::Label;
    std::string parent; // container name, empty for the window itself
    int left = 0, top = 0, width = 0, height = 0; // twips within the container
    std::string caption;
    std::string toolTip;
    std::optional<std::uint32_t> back; // colours as 0x00BBGGRR
    std::optional<std::uint32_t> fore;
    std::string fontFamily = "MS Sans Serif";
    double fontPoints = 8.25;
    bool bold = false;
    bool visible = true;
    bool checked = false;
    Art art = Art::None;
    int lampNumber = 0; // 1..8 for the lamps
    Align align = Align::Left;
};

struct WindowSpec {
    std::string caption;
    int clientWidth, clientHeight; // twips
    int outerWidth, outerHeight;   // twips
    std::uint32_t back;
};

const WindowSpec &MainWindow();
const std::vector<ControlSpec> &MainWindowControls();
const ControlSpec *FindControl(std::string_view name);
std::string ArrayName(std::string_view base, int index); // "imgBeat", 3 -> "imgBeat(3)"

// Twips to logical pixels (15 to a pixel), halves to the even neighbour.
int TwipsToPixels(int twips);
// A font size in points as pixels at 96 dots per inch, so the layout does not depend on the screen.
int PointsToPixels(double points);

} // namespace ui
