#include "ui/window_layout.h"

#include <cmath>

namespace ui {

namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kGrey = 0x808080;
constexpr std::uint32_t kSilver = 0xC0C0C0;
constexpr std::uint32_t kLightGrey = 0xE0E0E0;

ControlSpec Make(std::string name, Kind kind, int l, int t, int w, int h, std::string caption = {})
{
    ControlSpec c;
    c.name = std::move(name);
    c.kind = kind;
    c.left = l;
    c.top = t;
    c.width = w;
    c.height = h;
    c.caption = std::move(caption);
    return c;
}

ControlSpec &Font(ControlSpec &c, const char *family, double points, bool bold)
{
    c.fontFamily = family;
    c.fontPoints = points;
    c.bold = bold;
    return c;
}

std::vector<ControlSpec> BuildControls()
{
    std::vector<ControlSpec> v;
    auto add = [&v](ControlSpec c) -> ControlSpec & {
        v.push_back(std::move(c));
        return v.back();
    };

    // The metronome face along the left edge, with the weight and the plate on it.
    {
        auto &c = add(Make("PicMet", Kind::Picture, 0, 0, 4620, 7620));
        c.back = kBlack;
        c.art = Art::Face;
    }
    {
        auto &c = add(Make("PicSlider", Kind::Picture, 2040, 2310, 480, 480));
        c.parent = "PicMet";
        c.back = kBlack;
        c.art = Art::Weight;
    }
    {
        auto &c = add(Make("Picture5", Kind::Picture, 1620, 5130, 1260, 330));
        c.parent = "PicMet";
        c.back = 0x004080;
        c.art = Art::Plate;
    }

    // The middle column, from the top.
    add(Make("Picture1", Kind::Picture, 4650, 75, 3600, 900)).art = Art::TopPicture;
    {
        auto &c = Font(add(Make("Label5", Kind::Label, 5100, 1500, 975, 255, "Sound:")), "Arial", 9.75, true);
        c.fore = kGrey;
    }
    {
        auto &c =
            Font(add(Make("Combo1", Kind::ComboBox, 6180, 1470, 1275, 315, "Klack")), "MS Sans Serif", 8.25, true);
        c.back = kBlack;
        c.fore = 0x00C000;
    }
    {
        auto &c = add(Make("Check2", Kind::CheckBox, 5520, 1110, 2040, 210, "immer im Vordergrund"));
        c.toolTip = "Immer im Vordergrund";
        c.checked = true;
        c.back = kBlack;
        c.fore = kGrey;
    }
    Font(add(Make("Label4", Kind::Label, 5040, 1980, 2775, 255, "Schläge pro Minute (BPM)")), "Arial", 9.75, false)
        .fore = kSilver;
    Font(add(Make("Label8", Kind::Label, 5040, 2220, 2775, 255, "bzw. Tempo:")), "Arial", 9.75, false).fore = kSilver;
    {
        auto &c = Font(add(Make("lblTempo", Kind::Label, 4920, 2490, 2955, 315, "Allegro")), "Arial", 12, true);
        c.fore = kWhite;
        c.align = Align::Center;
    }
    Font(add(Make("cmdTempo(2)", Kind::Button, 4680, 2850, 495, 855, "<<")), "Arial", 14.25, true);
    Font(add(Make("cmdTempo(0)", Kind::Button, 5220, 2850, 375, 855, "<")), "Arial", 14.25, true);
    add(Make("picBPM", Kind::Picture, 5685, 2820, 1500, 900)).back = kBlack;
    {
        auto &c = Font(add(Make("lblBPM", Kind::Label, 75, 0, 1275, 975, "120")), "Arial", 36, true);
        c.parent = "picBPM";
        c.back = kBlack;
        c.fore = 0x00FF00;
        c.align = Align::Center;
    }
    Font(add(Make("cmdTempo(1)", Kind::Button, 7260, 2850, 375, 855, ">")), "Arial", 14.25, true);
    Font(add(Make("cmdTempo(3)", Kind::Button, 7680, 2850, 495, 855, ">>")), "Arial", 14.25, true);
    add(Make("Fader1", Kind::Fader, 4800, 3795, 3330, 330)).back = kBlack;
    Font(add(Make("lblBt", Kind::Label, 5250, 4515, 2250, 255, "Schläge pro Zyklus:")), "Arial", 9.75, true).fore =
        kLightGrey;
    Font(add(Make("lblBeats", Kind::Label, 7395, 4500, 525, 255, "4")), "Arial", 11.25, true).fore = kWhite;
    add(Make("Fader2", Kind::Fader, 4800, 4815, 3330, 330)).back = kBlack;
    {
        auto &c = Font(add(Make("chkAccent", Kind::CheckBox, 4800, 5325, 1155, 315, "Akzente")), "Arial", 9.75, true);
        c.checked = true;
        c.back = kBlack;
        c.fore = kSilver;
    }
    Font(add(Make("Label7", Kind::Label, 6060, 5355, 975, 255, "Presets:")), "Arial", 9.75, true).fore = kGrey;
    {
        auto &c = Font(add(Make("cboPresets", Kind::ComboBox, 6840, 5340, 1275, 315, "Rhythmus")), "MS Sans Serif",
                       8.25, true);
        c.back = kBlack;
        c.fore = 0xC0C000;
    }
    for (int i = 0; i < 8; ++i) {
        auto &up = add(Make(ArrayName("imgBeat", i), Kind::Lamp, 4800 + 420 * i, 5730, 345, 450));
        up.lampNumber = i + 1;
        up.visible = i < 4;
        auto &low = add(Make(ArrayName("imgSnare", i), Kind::Lamp, 4800 + 420 * i, 6405, 345, 450));
        low.lampNumber = i + 1;
        low.visible = i < 4;
    }
    add(Make("shpBeat", Kind::Shape, 4800, 6225, 360, 135));
    Font(add(Make("Label6", Kind::Label, 4800, 6945, 1290, 255, "Akzent 1 :")), "Arial", 9.75, true).fore = kGrey;
    Font(add(Make("Label9", Kind::Label, 6825, 6945, 1290, 255, "Akzent 2 :")), "Arial", 9.75, true).fore = kGrey;
    for (const char *name : {"Combo2", "Combo3"}) {
        const bool first = std::string_view(name) == "Combo2";
        auto &c =
            Font(add(Make(name, Kind::ComboBox, first ? 4800 : 6825, 7215, 1275, 315, first ? "Bassdrum" : "Snare")),
                 "MS Sans Serif", 8.25, true);
        c.back = kBlack;
        c.fore = 0x8080FF;
    }

    // The right column: the big beat number, the tap trend row, TAP and START.
    add(Make("picBeat", Kind::Picture, 8340, 120, 3375, 4455)).back = kBlack;
    {
        auto &c = Font(add(Make("lblBeat", Kind::Label, 0, -540, 3375, 5895, "1")), "Arial", 249.75, true);
        c.parent = "picBeat";
        c.fore = kWhite;
        c.align = Align::Center;
    }
    struct TrendLabel {
        const char *name;
        int left, top, width;
        const char *text;
    };
    for (const TrendLabel &tl :
         {TrendLabel{"Label2", 9180, 4635, 255, "<"}, TrendLabel{"Label1", 9420, 4635, 1215, "120"},
          TrendLabel{"Label3", 10620, 4620, 255, ">"}}) {
        auto &c = Font(add(Make(tl.name, Kind::Label, tl.left, tl.top, tl.width, 315, tl.text)), "Arial", 14.25, true);
        c.fore = kLightGrey;
        c.align = Align::Center;
    }
    {
        auto &c = Font(add(Make("Tap", Kind::ToggleButton, 8340, 5040, 3375, 1170, "T A P")), "Arial", 21.75, true);
        c.toolTip = "Rechtsklick = Reset";
        c.back = kGrey;
        c.fore = kBlack;
    }
    {
        auto &c =
            Font(add(Make("Check1", Kind::ToggleButton, 8340, 6360, 3375, 1170, "S T A R T")), "Arial", 21.75, true);
        c.toolTip = "Tasten: Leertaste = START/STOP, + / − oder → / ← = Tempo ±1, "
                    "Bild ↑ / Bild ↓ = Tempo ±10, T = Tippen (Umschalt+T = neue Reihe), "
                    "1 … 8 = Schläge pro Zyklus, A = Akzente ein/aus, ↑ / ↓ = Lautstärke, "
                    "U = Unterteilung, R = Tempo-Trainer, G = Pausen-Training, N / P = nächster / voriger Song. "
                    "Rechtsklick neben die Bedienelemente, Klick auf das METRONOM-Schild, F10 oder Menütaste: "
                    "Übungen und Einstellungen";
        c.back = kGrey;
        c.fore = kBlack;
    }
    return v;
}

} // namespace

const WindowSpec &MainWindow()
{
    static const WindowSpec spec{"Lindoquet Metronome Vintra (Preview Version)", 11850, 7635, 11940, 8040, kBlack};
    return spec;
}

const std::vector<ControlSpec> &MainWindowControls()
{
    static const std::vector<ControlSpec> controls = BuildControls();
    return controls;
}

const ControlSpec *FindControl(std::string_view name)
{
    for (const ControlSpec &c : MainWindowControls())
        if (c.name == name)
            return &c;
    return nullptr;
}

std::string ArrayName(std::string_view base, int index)
{
    return std::string(base) + "(" + std::to_string(index) + ")";
}

int TwipsToPixels(int twips)
{
    return static_cast<int>(std::nearbyint(twips / static_cast<double>(kTwipsPerPixel)));
}

int PointsToPixels(double points)
{
    return static_cast<int>(std::nearbyint(points * 96.0 / 72.0));
}

} // namespace ui
