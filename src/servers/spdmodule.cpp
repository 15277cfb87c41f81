#include "servers/spdmodule.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/system/system.hpp"
#include "servers/tirel.hpp"

namespace servers::spdmodule {
namespace {

// ---- text edges ----

// The next code point of UTF-8 text at i (i moves past it). A byte that
// does not begin a well-formed sequence is taken as a Windows-1252
// character, so a message in that code page still reads.
char32_t nextCodePoint(const std::string& s, std::size_t& i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i++);
    if (c < 0x80) return c;
    const int n = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
    if (n > 0 && i + static_cast<std::size_t>(n) <= s.size()) {
        char32_t cp = c & (0x3F >> n);
        bool ok = true;
        for (int k = 0; ok && k < n; ++k) {
            if ((b(i + static_cast<std::size_t>(k)) & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (b(i + static_cast<std::size_t>(k)) & 0x3F);
        }
        const char32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (ok && cp >= least[n] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
            i += static_cast<std::size_t>(n);
            return cp;
        }
    }
    return platform::cp1252ToUnicode(c);
}

// Appends the Windows-1252 form of a code point; what the code page lacks
// (and control characters) becomes a blank.
void appendCp1252(std::string& out, char32_t cp) {
    if (cp == 0x2212 || cp == 0x2010 || cp == 0x2011) cp = '-';
    if (cp < 0x20 || cp == 0x7F || cp == 0xA0 || (cp >= 0x2000 && cp <= 0x200B) || cp == 0x202F) {
        out += ' ';
        return;
    }
    if (cp < 0x80) {
        out += static_cast<char>(cp);
        return;
    }
    const std::uint8_t c = platform::unicodeToCp1252(cp);
    out += c ? static_cast<char>(c) : ' ';
}

std::string plainToCp1252(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) appendCp1252(out, nextCodePoint(utf8, i));
    return out;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool parseInt(const std::string& v, int& out) {
    std::size_t i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+')) negative = v[i++] == '-';
    if (i == v.size() || v.size() - i > 9) return false;
    long n = 0;
    for (; i < v.size(); ++i) {
        if (v[i] < '0' || v[i] > '9') return false;
        n = n * 10 + (v[i] - '0');
    }
    out = static_cast<int>(negative ? -n : n);
    return true;
}

// ---- SSML ----

// The attribute's value in a tag's inside ("mark name='x'"), or empty.
std::string attribute(const std::string& tag, const std::string& name) {
    std::size_t p = 0;
    while ((p = tag.find(name, p)) != std::string::npos) {
        const bool startsWord = p > 0 && (tag[p - 1] == ' ' || tag[p - 1] == '\t' || tag[p - 1] == '\n');
        std::size_t q = p + name.size();
        while (q < tag.size() && tag[q] == ' ') ++q;
        if (startsWord && q < tag.size() && tag[q] == '=') {
            ++q;
            while (q < tag.size() && tag[q] == ' ') ++q;
            if (q < tag.size() && (tag[q] == '"' || tag[q] == '\'')) {
                const std::size_t end = tag.find(tag[q], q + 1);
                if (end != std::string::npos) return tag.substr(q + 1, end - q - 1);
            }
            return {};
        }
        p = q;
    }
    return {};
}

// A <break>'s length: time="500ms" or "1.5s", else its strength.
int breakMs(const std::string& tag) {
    const std::string time = lower(attribute(tag, "time"));
    if (!time.empty()) {
        double v = 0;
        std::size_t i = 0, digits = 0;
        for (; i < time.size() && time[i] >= '0' && time[i] <= '9'; ++i, ++digits) v = std::min(v * 10 + (time[i] - '0'), 1e6);
        if (i < time.size() && time[i] == '.') {
            double scale = 0.1;
            for (++i; i < time.size() && time[i] >= '0' && time[i] <= '9'; ++i, ++digits, scale /= 10) v += (time[i] - '0') * scale;
        }
        const std::string unit = time.substr(i);
        if (digits > 0 && (unit == "ms" || unit == "s"))
            return static_cast<int>(std::clamp(unit == "s" ? v * 1000 : v, 0.0, 10000.0));
    }
    const std::string strength = lower(attribute(tag, "strength"));
    if (strength == "none") return 0;
    if (strength == "x-weak") return 100;
    if (strength == "weak") return 200;
    if (strength == "strong") return 700;
    if (strength == "x-strong") return 1200;
    return 400;
}

// Decodes the entity at s[i] == '&' into out; false when it is none.
bool entity(const std::string& s, std::size_t& i, std::string& out) {
    // Looked for a few bytes on only: a text of many '&' stays linear.
    const std::size_t end = s.substr(i, 11).find(';');
    if (end == std::string::npos) return false;
    const std::string name = s.substr(i + 1, end - 1);
    char32_t cp = 0;
    if (name == "lt") cp = '<';
    else if (name == "gt") cp = '>';
    else if (name == "amp") cp = '&';
    else if (name == "quot") cp = '"';
    else if (name == "apos") cp = '\'';
    else if (name == "nbsp") cp = ' ';
    else if (name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        std::uint32_t v = 0;
        std::size_t k = hex ? 2 : 1;
        if (k == name.size()) return false;
        for (; k < name.size(); ++k) {
            const char c = name[k];
            int d = c >= '0' && c <= '9' ? c - '0' : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (d < 0) return false;
            v = v * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
        }
        if (v == 0 || v > 0x10FFFF) return false;
        cp = v;
    } else {
        return false;
    }
    appendCp1252(out, cp);
    i += end + 1;
    return true;
}

// ---- names said ----

struct Named {
    char sign;
    const char* name;
};
// Windows-1252 texts.
const Named signNames[] = {
    {'.', "ponto"}, {',', "v\xEDrgula"}, {';', "ponto e v\xEDrgula"}, {':', "dois pontos"},
    {'!', "exclama\xE7\xE3o"}, {'?', "interroga\xE7\xE3o"}, {'"', "aspas"}, {'\'', "ap\xF3strofo"},
    {'(', "abre par\xEAnteses"}, {')', "fecha par\xEAnteses"}, {'[', "abre colchete"}, {']', "fecha colchete"},
    {'{', "abre chave"}, {'}', "fecha chave"}, {'-', "h\xED" "fen"}, {'_', "sublinhado"}, {'/', "barra"},
    {'\\', "barra invertida"}, {'@', "arroba"}, {'#', "cerquilha"}, {'$', "cifr\xE3o"}, {'%', "por cento"},
    {'&', "e comercial"}, {'*', "asterisco"}, {'+', "mais"}, {'=', "igual"}, {'<', "menor que"},
    {'>', "maior que"}, {'|', "barra vertical"}, {'~', "til"}, {'^', "circunflexo"}, {'`', "crase"},
};
const char* signName(char c) {
    for (const Named& n : signNames)
        if (n.sign == c) return n.name;
    return nullptr;
}
bool isPunctuation(char c) { return std::strchr(".,;:!?'\"()-", c) != nullptr && c != '\0'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

struct KeyName {
    const char* key;
    const char* said;
};
const KeyName keyNames[] = {
    {"space", "espa\xE7o"}, {"underscore", "sublinhado"}, {"double-quote", "aspas"},
    {"alt", "alt"}, {"control", "control"}, {"hyper", "hyper"}, {"meta", "meta"}, {"shift", "shift"},
    {"super", "super"}, {"backspace", "backspace"}, {"break", "break"}, {"delete", "delete"},
    {"down", "seta para baixo"}, {"end", "end"}, {"enter", "enter"}, {"escape", "esc"}, {"home", "home"},
    {"insert", "insert"}, {"left", "seta para a esquerda"}, {"menu", "menu"}, {"next", "page down"},
    {"num-lock", "num lock"}, {"pause", "pause"}, {"print", "print screen"}, {"prior", "page up"},
    {"return", "enter"}, {"right", "seta para a direita"}, {"scroll-lock", "scroll lock"}, {"tab", "tab"},
    {"up", "seta para cima"}, {"window", "tecla windows"},
};

}  // namespace

// ---- settings ----

bool applySetting(Settings& s, const std::string& name, const std::string& value) {
    if (value == "NULL") return true;  // not set: the module keeps its own
    int n = 0;
    if (name == "rate" || name == "pitch" || name == "volume" || name == "pitch_range") {
        if (!parseInt(value, n)) return false;
        n = std::clamp(n, -100, 100);
        if (name == "rate") s.rate = n;
        else if (name == "pitch") s.pitch = n;
        else if (name == "volume") s.volume = n;
        return true;
    }
    const std::string v = lower(value);
    if (name == "punctuation_mode") {
        if (v != "none" && v != "some" && v != "most" && v != "all") return false;
        s.punctuation = v;
    } else if (name == "spelling_mode") {
        if (v != "on" && v != "off") return false;
        s.spelling = v == "on";
    } else if (name == "language") {
        s.language = v;
    } else if (name == "voice") {
        s.voice = v;
    } else if (name == "synthesis_voice") {
        s.synthesisVoice = value;
    }
    return true;
}

double durationFactorForRate(int rate) {
    // speech-dispatcher's -100..100 is the built-in voice's own -10..10 scale.
    return servers::tirel::durationFactorFor(std::clamp(rate, -100, 100) / 10.0);
}

double pitchFactorFor(int pitch) { return std::pow(2.0, std::clamp(pitch, -100, 100) / 200.0); }

double volumeGain(int volume) {
    return (std::clamp(volume, -100, 100) + 100) / 200.0;
}

// ---- messages ----

std::vector<Piece> readMessage(const std::string& utf8) {
    std::vector<Piece> pieces(1);
    if (utf8.find("<speak") == std::string::npos) {
        pieces[0].text = plainToCp1252(utf8);
        return pieces;
    }
    const auto fresh = [&] {
        if (pieces.back().pauseMs > 0 || !pieces.back().mark.empty()) pieces.emplace_back();
    };
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char c = utf8[i];
        if (c == '&') {
            if (!entity(utf8, i, pieces.back().text)) {
                pieces.back().text += '&';
                ++i;
            }
            continue;
        }
        if (c != '<') {
            if (pieces.back().pauseMs > 0 || !pieces.back().mark.empty()) {
                const char32_t cp = nextCodePoint(utf8, i);
                if (cp != ' ' && cp != '\n' && cp != '\t' && cp != '\r') {
                    fresh();
                    appendCp1252(pieces.back().text, cp);
                }
                continue;
            }
            appendCp1252(pieces.back().text, nextCodePoint(utf8, i));
            continue;
        }
        if (utf8.compare(i, 4, "<!--") == 0) {
            const std::size_t end = utf8.find("-->", i + 4);
            i = end == std::string::npos ? utf8.size() : end + 3;
            continue;
        }
        const std::size_t end = utf8.find('>', i);
        if (end == std::string::npos) break;  // a tag cut off: the rest is not text
        const std::string tag = utf8.substr(i + 1, end - i - 1);
        i = end + 1;
        std::size_t nameEnd = 0;
        while (nameEnd < tag.size() && tag[nameEnd] != ' ' && tag[nameEnd] != '/' && tag[nameEnd] != '\t' &&
               tag[nameEnd] != '\n')
            ++nameEnd;
        const std::string name = lower(tag.substr(0, nameEnd));
        if (name == "mark") {
            fresh();
            pieces.back().mark = attribute(tag, "name");
            if (pieces.back().mark.empty()) pieces.back().mark = " ";  // a mark without a name is still a place
        } else if (name == "break") {
            if (!pieces.back().mark.empty()) pieces.emplace_back();
            pieces.back().pauseMs = std::min(pieces.back().pauseMs + breakMs(tag), 10000);
        } else if (name == "sub" && tag.back() != '/') {
            fresh();
            pieces.back().text += plainToCp1252(attribute(tag, "alias"));
            const std::size_t close = utf8.find("</sub>", i);
            i = close == std::string::npos ? utf8.size() : close + 6;
        } else if (name == "p" || name == "/p" || name == "s" || name == "/s" || name == "br") {
            if (pieces.back().pauseMs == 0 && pieces.back().mark.empty()) pieces.back().text += ' ';
        }
    }
    for (Piece& p : pieces)
        if (p.mark == " ") p.mark.clear();
    return pieces;
}

std::string characterText(const std::string& utf8) {
    if (utf8.empty()) return {};
    std::size_t i = 0;
    const char32_t cp = nextCodePoint(utf8, i);
    if (cp == ' ') return "espa\xE7o";
    std::string out;
    appendCp1252(out, cp);
    return out == " " ? std::string() : out;
}

std::string keyText(const std::string& keyName) {
    std::string said;
    // Prefixes: auxiliary keys held, each followed by '_' (a name of many
    // is read once through, not copied at each).
    std::size_t from = 0;
    for (std::size_t u; (u = keyName.find('_', from)) != std::string::npos && u > from && u + 1 < keyName.size();) {
        said += keyText(keyName.substr(from, u - from)) + " ";
        from = u + 1;
    }
    const std::string rest = keyName.substr(from);
    for (const KeyName& k : keyNames)
        if (rest == k.key) return said + k.said;
    if (rest.size() > 3 && rest.compare(0, 3, "kp-") == 0) {
        const std::string key = rest.substr(3);
        const char* sign = key.size() == 1 ? signName(key[0]) : nullptr;
        return said + (sign ? std::string(sign) : keyText(key)) + " do teclado num\xE9rico";
    }
    std::size_t i = 0;
    if (!rest.empty()) nextCodePoint(rest, i);
    if (i == rest.size()) {
        std::string c = characterText(rest);
        const char* sign = c.size() == 1 ? signName(c[0]) : nullptr;
        return said + (sign ? std::string(sign) : c);
    }
    std::string name = plainToCp1252(rest);
    std::replace(name.begin(), name.end(), '-', ' ');
    return said + name;
}

std::string iconText(const std::string& iconName) {
    std::string name = plainToCp1252(iconName);
    std::replace(name.begin(), name.end(), '-', ' ');
    std::replace(name.begin(), name.end(), '_', ' ');
    return name;
}

std::string spokenText(const std::string& text, const Settings& s) {
    if (s.spelling) {
        std::string out;
        for (char c : text) {
            if (c == ' ' || c == '\t' || c == '\n') {
                if (!out.empty()) out += "espa\xE7o, ";
                continue;
            }
            const char* sign = signName(c);
            out += sign ? std::string(sign) : std::string(1, c);
            out += ", ";
        }
        return out;
    }
    if (s.punctuation != "most" && s.punctuation != "all") return text;
    const bool all = s.punctuation == "all";
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char* name = signName(c);
        const bool inNumber = i > 0 && i + 1 < text.size() && isDigit(text[i - 1]) && isDigit(text[i + 1]) &&
                              (c == '.' || c == ',' || c == ':' || c == '/');
        const bool money = c == '$' && i > 0 && (text[i - 1] == 'R' || text[i - 1] == 'S');
        if (!name || inNumber || money || (!all && isPunctuation(c))) {
            out += c;
        } else if (isPunctuation(c)) {
            out += std::string(" ") + name + c + ' ';  // the sign stays for the pause it makes
        } else {
            out += std::string(" ") + name + ' ';
        }
    }
    return out;
}

// ---- groups of a long text ----

std::vector<std::string> textGroups(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (text.size() - start > 2 * groupBytes) {
        const std::size_t from = start + groupBytes / 2, to = start + 2 * groupBytes;
        std::size_t cut = 0, blank = 0;
        for (std::size_t i = from; i < to && cut == 0; ++i) {
            const char c = text[i];
            if (c != ' ' && c != '\n' && c != '\t') continue;
            const char before = text[i - 1];
            if (before == '.' || before == '!' || before == '?' || before == ';' || before == ':' || c == '\n') cut = i;
            else if (i <= start + groupBytes || blank == 0) blank = i;
        }
        if (cut == 0) cut = blank != 0 ? blank : start + groupBytes;
        out.push_back(text.substr(start, cut - start));
        start = cut;
    }
    out.push_back(text.substr(start));
    return out;
}

// ---- the request grammar ----

std::vector<std::string> Protocol::feed(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (block_ != Block::none) {
        if (line == ".") return endBlock();
        if (line == "..") line = ".";
        blockBytes_ += line.size() + 1;
        if (blockBytes_ > maxMessageBytes) lines_.clear();
        else lines_.push_back(std::move(line));
        return {};
    }
    if (line == "INIT") {
        std::string message;
        if (host_.init(message)) return {"299-quoril: " + message, "299 OK LOADED SUCCESSFULLY"};
        return {"399-quoril: " + message, "399 ERR CANT INIT MODULE"};
    }
    const struct {
        const char* word;
        Kind kind;
    } speaking[] = {{"SPEAK", Kind::text}, {"CHAR", Kind::character}, {"KEY", Kind::key}, {"SOUND_ICON", Kind::soundIcon}};
    for (const auto& s : speaking) {
        if (line != s.word) continue;
        if (host_.speaking()) return {"401 ERR ALREADY SPEAKING"};
        block_ = Block::speak;
        kind_ = s.kind;
        lines_.clear();
        blockBytes_ = 0;
        return {"202 OK SEND DATA"};
    }
    const struct {
        const char* word;
        Block block;
        const char* answer;
    } blocks[] = {{"SET", Block::set, "203 OK RECEIVING SETTINGS"},
                  {"AUDIO", Block::audio, "207 OK RECEIVING AUDIO SETTINGS"},
                  {"LOGLEVEL", Block::loglevel, "207 OK RECEIVING LOGLEVEL SETTINGS"},
                  {"DEBUG", Block::debug, "207 OK RECEIVING DEBUG SETTINGS"}};
    for (const auto& b : blocks) {
        if (line != b.word) continue;
        block_ = b.block;
        lines_.clear();
        blockBytes_ = 0;
        return {b.answer};
    }
    if (line == "STOP") {
        host_.stop();
        return {};
    }
    if (line == "PAUSE") {
        host_.pause();
        return {};
    }
    if (line == "LIST VOICES") {
        std::vector<std::string> out;
        for (const std::string& v : host_.voices()) out.push_back("200-" + v);
        out.push_back("200 OK VOICE LIST SENT");
        return out;
    }
    if (line == "QUIT") {
        quit_ = true;
        return {"210 OK QUIT"};
    }
    return {"300 ERR UNKNOWN COMMAND"};
}

std::vector<std::string> Protocol::endBlock() {
    const Block block = block_;
    block_ = Block::none;
    std::vector<std::string> lines = std::move(lines_);
    lines_.clear();
    if (blockBytes_ > maxMessageBytes) return {block == Block::speak ? "301 ERROR CANT SPEAK" : "303 ERR INVALID PARAMETER"};
    if (block == Block::speak) {
        if (kind_ != Kind::text && lines.size() != 1) return {"305 ERR EXACTLY ONE LINE EXPECTED"};
        std::string text;
        for (std::size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
        host_.speak(kind_, text);
        return {"200 OK SPEAKING"};
    }
    Params params;
    bool wellFormed = true;
    for (const std::string& l : lines) {
        const std::size_t eq = l.find('=');
        if (eq == std::string::npos || eq == 0) wellFormed = false;
        else params.emplace_back(l.substr(0, eq), l.substr(eq + 1));
    }
    switch (block) {
    case Block::set:
        return {host_.set(params) && wellFormed ? "203 OK SETTINGS RECEIVED" : "303 ERR INVALID PARAMETER"};
    case Block::audio:
        return {host_.audio(params) ? "203 OK AUDIO INITIALIZED" : "300 ERR AUDIO OUTPUT NOT AVAILABLE"};
    case Block::loglevel: {
        int level = 0;
        for (const auto& [name, value] : params)
            if (name == "log_level" && parseInt(value, level)) {
                host_.logLevel(std::clamp(level, 0, 5));
                return {"203 OK LOGLEVEL SET"};
            }
        return {"303 ERR INVALID PARAMETER"};
    }
    case Block::debug:
        return {"203 OK DEBUG SET"};
    default:
        return {"300 ERR UNKNOWN COMMAND"};
    }
}

}  // namespace servers::spdmodule
