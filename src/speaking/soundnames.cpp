// Names of the recorded sounds. See soundnames.hpp.
#include "speaking/soundnames.hpp"

#include <set>

namespace speaking::soundnames {
namespace {

constexpr std::size_t kWordNameLength = 8;  // "_" and 7 letters at most

const NumberWords kNumberWords = {
    {"zero", "um", "dois", "tres", "quatro", "cinco", "seis", "sete", "oito", "nove"},
    {"dez", "onze", "doze", "treze", "quatorze", "quinze", "dezesseis", "dezessete", "dezoito",
     "dezenove"},
    {"", "", "vinte", "trinta", "quarenta", "cinquenta", "sessenta", "setenta", "oitenta",
     "noventa"},
    {"", "cento", "duzentos", "trezentos", "quatrocentos", "quinhentos", "seiscentos",
     "setecentos", "oitocentos", "novecentos"},
    "cem",
    "e",
    {"trilh\xE3o", "bilh\xE3o", "milh\xE3o", "mil", ""},
    {"trilh\xF5" "es", "bilh\xF5" "es", "milh\xF5" "es", "mil", ""},
    "uma",
    "duas",
};

const std::array<const char*, 7> kWeekdays = {"Domingo", "Segunda", "Terca", "Quarta",
                                              "Quinta",  "Sexta",   "Sabado"};
const std::array<const char*, 12> kMonths = {"Janeiro", "Fevereiro", "Marco",    "Abril",
                                             "Maio",    "Junho",     "Julho",    "Agosto",
                                             "Setembro", "Outubro",  "Novembro", "Dezembro"};

const char* const kMessages[] = {zeroSound,          minusSound,        deletedSound,
                                 erasedToEndSound,   erasedToStartSound, fieldErasedSound,
                                 echoOnSound,        echoOffSound,      askSpeedSound};

void addWord(std::vector<std::string>& names, const char* word) {
    if (word && *word) names.push_back(wordSound(word));
}

}  // namespace

std::string characterSound(std::uint8_t c) { return "_" + std::to_string(c); }

std::string telephoneKeySound(char key) {
    if (key >= '0' && key <= '9') return std::string("dtmf_") + key;
    if (key == '#') return "dtmf_#";
    if (key == '*') return "dtmf_X";
    return {};
}

std::string phoneticSound(std::uint8_t letter) { return "_FON" + std::to_string(letter); }

std::string wordSound(const std::string& word) {
    std::string w;
    w.reserve(word.size());
    for (char c : word) {
        if (c == '\xE3') c = 'a';
        else if (c == '\xF5') c = 'o';
        w += c;
    }
    if (w == "dezessete") w = "dezeset";
    std::string name = "_" + w;
    if (name.size() > kWordNameLength) name.resize(kWordNameLength);
    return name;
}

std::string weekdaySound(int dayOfWeek) {
    if (dayOfWeek < 0 || dayOfWeek > 6) return {};
    return std::string("_") + kWeekdays[static_cast<std::size_t>(dayOfWeek)];
}

std::string monthSound(int month) {
    if (month < 1 || month > 12) return {};
    return "_" + std::string(kMonths[static_cast<std::size_t>(month - 1)]).substr(0, 7);
}

const NumberWords& numberWords() { return kNumberWords; }
const std::array<const char*, 7>& weekdayNames() { return kWeekdays; }
const std::array<const char*, 12>& monthNames() { return kMonths; }

std::vector<std::string> characterSounds() {
    std::vector<std::string> names;
    for (int c = 0; c < 256; ++c) names.push_back(characterSound(static_cast<std::uint8_t>(c)));
    return names;
}

std::vector<std::string> messageSounds() {
    std::vector<std::string> names(std::begin(kMessages), std::end(kMessages));
    for (int c = 'A'; c <= 'Z'; ++c) names.push_back(phoneticSound(static_cast<std::uint8_t>(c)));
    for (int c = 'a'; c <= 'z'; ++c) names.push_back(phoneticSound(static_cast<std::uint8_t>(c)));
    return names;
}

std::vector<std::string> numberWordSounds() {
    const NumberWords& w = kNumberWords;
    std::vector<std::string> names;
    for (const char* word : w.units) addWord(names, word);
    for (const char* word : w.teens) addWord(names, word);
    for (const char* word : w.tens) addWord(names, word);
    for (const char* word : w.hundreds) addWord(names, word);
    addWord(names, w.hundredExactly);
    addWord(names, w.joiner);
    for (const char* word : w.scaleSingular) addWord(names, word);
    for (const char* word : w.scalePlural) addWord(names, word);
    addWord(names, w.oneFeminine);
    addWord(names, w.twoFeminine);
    return names;
}

std::vector<std::string> dateTimeSounds() {
    std::vector<std::string> names;
    for (int d = 0; d < 7; ++d) names.push_back(weekdaySound(d));
    for (int m = 1; m <= 12; ++m) names.push_back(monthSound(m));
    for (const char* n : {firstDaySound, ofSound, andSound, hourSound, hoursSound, minuteSound,
                          minutesSound})
        names.push_back(n);
    return names;
}

std::vector<std::string> telephoneKeySounds() {
    std::vector<std::string> names;
    for (char k : std::string("0123456789#*")) names.push_back(telephoneKeySound(k));
    return names;
}

std::vector<std::string> spokenSounds() {
    std::vector<std::string> all;
    std::set<std::string> seen;
    for (auto list : {characterSounds(), messageSounds(), numberWordSounds(), dateTimeSounds()})
        for (std::string& name : list)
            if (seen.insert(name).second) all.push_back(std::move(name));
    return all;
}

}  // namespace speaking::soundnames
