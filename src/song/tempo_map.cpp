#include "song/tempo_map.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>

namespace song {

namespace {

struct Error {
    std::string what;
};

bool Blank(char c)
{
    return c == ' ' || c == '\t';
}
bool Digit(char c)
{
    return c >= '0' && c <= '9';
}

// The words of a line, split at blanks.
std::vector<std::string_view> Words(std::string_view s)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && Blank(s[i]))
            ++i;
        const std::size_t start = i;
        while (i < s.size() && !Blank(s[i]))
            ++i;
        if (i > start)
            words.push_back(s.substr(start, i - start));
    }
    return words;
}

// A number as klick writes it: digits with an optional fraction, or a fraction alone ("120", "92.5", ".5").
bool IsNumber(std::string_view w)
{
    std::size_t i = 0, digits = 0;
    while (i < w.size() && Digit(w[i]))
        ++i, ++digits;
    if (i < w.size() && w[i] == '.') {
        ++i;
        while (i < w.size() && Digit(w[i]))
            ++i, ++digits;
    }
    return i == w.size() && digits > 0;
}

double Number(std::string_view w, const char *what)
{
    if (!IsNumber(w) || w.size() > 20)
        throw Error{std::string(what) + " „" + std::string(w) + "“ ist keine Zahl"};
    double v = 0;
    const char *first = w.data();
    if (*first == '.') {
        // from_chars wants a digit first.
        std::string padded = "0" + std::string(w);
        std::from_chars(padded.data(), padded.data() + padded.size(), v);
    } else {
        std::from_chars(first, first + w.size(), v);
    }
    return v;
}

int Integer(std::string_view w, const char *what, int max)
{
    if (w.empty() || w.size() > 9)
        throw Error{std::string(what) + " „" + std::string(w) + "“ ist keine ganze Zahl bis " + std::to_string(max)};
    for (char c : w)
        if (!Digit(c))
            throw Error{std::string(what) + " „" + std::string(w) + "“ ist keine ganze Zahl"};
    int v = 0;
    std::from_chars(w.data(), w.data() + w.size(), v);
    if (v > max)
        throw Error{std::string(what) + " " + std::to_string(v) + " ist größer als " + std::to_string(max)};
    return v;
}

bool IsPattern(std::string_view w)
{
    for (char c : w)
        if (c != 'X' && c != 'x' && c != '.')
            return false;
    return !w.empty() && !IsNumber(w);
}

std::string Format(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

void CheckClickRate(double quarterTempo, int denom)
{
    const double rate = quarterTempo * denom / 4.0;
    if (!(quarterTempo > 0))
        throw Error{"Tempo 0 ist nicht spielbar"};
    if (rate < kMinClickRate - 1e-9 || rate > kMaxClickRate + 1e-9)
        throw Error{"Tempo " + Format(quarterTempo) + " gibt " + Format(rate) +
                    " Schläge in der Minute; das Pendel schwingt 1 bis 271"};
}

Section ParseLine(std::string_view line)
{
    Section s;
    // A label: a word of letters, digits, '_' and '-' before a colon, which may touch the bars.
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
        std::string_view label = line.substr(0, colon);
        while (!label.empty() && Blank(label.front()))
            label.remove_prefix(1);
        if (label.empty())
            throw Error{"Marke vor „:“ fehlt"};
        for (char c : label)
            if (!(Digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '-'))
                throw Error{"Marke „" + std::string(label) +
                            "“ darf nur Buchstaben A–Z, Ziffern, „_“ und „-“ enthalten"};
        s.label = std::string(label);
        line.remove_prefix(colon + 1);
    }
    const std::vector<std::string_view> w = Words(line);
    std::size_t i = 0;
    if (w.empty())
        throw Error{"Takte fehlen"};
    s.bars = Integer(w[i++], "Taktzahl", kMaxBars);
    if (s.bars == 0)
        throw Error{"Taktzahl 0: ein Abschnitt hat mindestens einen Takt"};
    if (i < w.size() && w[i].find('/') != std::string_view::npos) {
        const std::string_view m = w[i++];
        const std::size_t slash = m.find('/');
        s.beats = Integer(m.substr(0, slash), "Taktart: Schläge", 1000);
        s.denom = Integer(m.substr(slash + 1), "Taktart: Nenner", 1000);
        if (s.beats < 1 || s.beats > 8)
            throw Error{"Taktart " + std::string(m) + ": 1 bis 8 Schläge im Takt"};
        if (s.denom != 1 && s.denom != 2 && s.denom != 4 && s.denom != 8 && s.denom != 16 && s.denom != 32)
            throw Error{"Taktart " + std::string(m) + ": Nenner 1, 2, 4, 8, 16 oder 32"};
    }
    if (i >= w.size())
        throw Error{"Tempo fehlt"};
    const std::string_view t = w[i++];
    if (const std::size_t dash = t.find('-'); dash != std::string_view::npos) {
        s.tempo = Number(t.substr(0, dash), "Tempo");
        s.tempo2 = Number(t.substr(dash + 1), "Zieltempo");
        CheckClickRate(s.tempo, s.denom);
        CheckClickRate(s.tempo2, s.denom);
    } else if (t.find(',') != std::string_view::npos) {
        std::size_t start = 0;
        while (true) {
            const std::size_t comma = t.find(',', start);
            const std::string_view one = t.substr(start, comma == std::string_view::npos ? t.npos : comma - start);
            const double v = Number(one, "Tempo");
            CheckClickRate(v, s.denom);
            s.tempi.push_back(v);
            if (comma == std::string_view::npos)
                break;
            start = comma + 1;
        }
        if (std::int64_t(s.tempi.size()) != s.Clicks())
            throw Error{std::to_string(s.tempi.size()) + " Tempi für " + std::to_string(s.Clicks()) +
                        " Schläge (Takte × Schläge im Takt)"};
        s.tempo = s.tempi.front();
    } else {
        s.tempo = Number(t, "Tempo");
        CheckClickRate(s.tempo, s.denom);
    }
    s.pattern.assign(std::size_t(s.beats), Click::Normal);
    s.pattern[0] = Click::Accent;
    if (i < w.size() && !IsNumber(w[i])) {
        const std::string_view p = w[i++];
        if (!IsPattern(p))
            throw Error{"Muster „" + std::string(p) + "“: nur X (Akzent), x (Schlag) und . (still)"};
        if (int(p.size()) != s.beats)
            throw Error{"Muster „" + std::string(p) + "“ hat " + std::to_string(p.size()) + " Zeichen für " +
                        std::to_string(s.beats) + " Schläge im Takt"};
        for (std::size_t k = 0; k < p.size(); ++k)
            s.pattern[k] = p[k] == 'X' ? Click::Accent : p[k] == 'x' ? Click::Normal : Click::Silent;
    }
    if (i < w.size()) {
        s.volume = Number(w[i++], "Lautstärke");
        if (s.volume > kMaxVolume)
            throw Error{"Lautstärke " + Format(s.volume) + " ist größer als 2"};
    }
    if (i < w.size())
        throw Error{"unerwartet: „" + std::string(w[i]) + "“"};
    return s;
}

} // namespace

ParseResult ParseTempoMap(std::string_view text, std::string_view fileName)
{
    ParseResult result;
    const std::string name(fileName);
    if (text.size() > kMaxMapBytes) {
        result.error = name + ": größer als 1 MB, keine Tempokarte";
        return result;
    }
    TempoMap map;
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        ++lineNo;
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1); // CRLF
        for (char c : line) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 && c != '\t') {
                result.error = name + ", Zeile " + std::to_string(lineNo) + ": Steuerzeichen, keine Textdatei";
                return result;
            }
        }
        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        if (Words(line).empty())
            continue;
        try {
            Section s = ParseLine(line);
            s.line = lineNo;
            map.sections.push_back(std::move(s));
        } catch (const Error &e) {
            result.error = name + ", Zeile " + std::to_string(lineNo) + ": " + e.what;
            return result;
        }
    }
    if (map.sections.empty()) {
        result.error = name + ": enthält keinen Abschnitt";
        return result;
    }
    result.map = std::move(map);
    return result;
}

ParseResult LoadTempoMap(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ParseResult r;
        r.error = path + ": lässt sich nicht lesen";
        return r;
    }
    std::string text(kMaxMapBytes + 1, '\0');
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(std::size_t(in.gcount()));
    return ParseTempoMap(text, path);
}

} // namespace song
