// generos: makes the built-in voice's table of feminine nouns
// (data/tireltts/portug.gen), with which a cardinal agrees with the noun
// after it: "duzentas páginas", "vinte e uma pessoas".
//
//   generos [WORDLIST] > data/tireltts/portug.gen
//
// WORDLIST (default /usr/share/dict/brazilian, Debian's wbrazilian, UTF-8,
// one word a line) gives the words; a word is taken as a feminine noun, in
// the singular, when its plural is listed too (so it is a noun or an
// adjective, not a lone verb form) and one of the reviewed rules below says
// so. Verb forms that a count never precedes are left out where the list
// shows their verb (the imperfect -ava, -ia, the pluperfect -ara, the
// conditional), and so are the words in -a that are no nouns (notNouns). The
// output is Windows-1252, one word a line, sorted, after a comment header;
// the voice finds plurals by taking them back to the singular (-s, -es,
// -ns to -m, -ões and -ães to -ão).
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "platform/system/system.hpp"

namespace {

bool endsWith(const std::string& w, const std::string& end) {
    return w.size() >= end.size() && w.compare(w.size() - end.size(), end.size(), end) == 0;
}

std::string cp(const char* utf8) { return platform::utf8ToCp1252(utf8); }

// Words in -a (and -ã) that are masculine, or used for both and said with
// the masculine after a count: reviewed by hand.
const char* const masculineInA[] = {
    "dia", "mapa", "tapa", "papa", "clima", "planeta", "cometa", "poeta", "profeta", "atleta", "pirata",
    "diplomata", "acrobata", "magnata", "primata", "astronauta", "colega", "guia", "pijama", "drama",
    "melodrama", "panorama", "trauma", "puma", "gorila", "coala", "panda", "lhama", "samba", "sofá",
    "chá", "xá", "crachá", "fubá", "guaraná", "maracujá", "jacá", "tamanduá", "patriarca", "monarca",
    "herege", "homicida", "suicida", "idiota", "patriota", "compatriota", "pediatra", "psiquiatra",
    "estrategista", "nauta", "cosmonauta", "aroma", "idioma", "diploma", "axioma", "sintoma", "genoma",
    "coma", "carcinoma", "glaucoma", "hematoma", "dogma", "enigma", "estigma", "paradigma", "prisma",
    "carisma", "plasma", "fantasma", "magma", "cisma", "sofisma", "aneurisma", "eczema", "edema",
    "trema", "lema", "dilema", "tema", "sistema", "problema", "poema", "esquema", "teorema",
    "emblema", "cinema", "fonema", "morfema", "telefonema", "ecossistema", "estratagema", "anátema",
    "programa", "diagrama", "telegrama", "organograma", "fluxograma", "cronograma", "quilograma",
    "miligrama", "grama", "holograma", "anagrama", "histograma", "dilema", "iceberg", "alfa", "beta",
    "delta", "gama", "zeta", "teta", "capa-preta", "jesuíta", "israelita", "cosmopolita", "parasita",
    "eremita", "escriba", "carioca", "pária", "cura", "lama-lama", "gênesis", "caixa-forte",
    "mantra", "karatê", "koala", "nirvana", "sherpa", "xerpa", "tanga-tanga", "quota-parte",
    "caratê", "vodca-tônica", "tchau", "borra-botas", "lança-perfume", "guarda-chuva",
    "guarda-roupa", "para-brisa", "para-lama", "porta-voz", "porta-malas", "quebra-cabeça",
    "salva-vidas", "bebê", "ômega", "sigma", "kappa", "lambda", "coração", "cação", "quebra-mar",
};

// Feminine nouns whose ending gives no rule, and a few the verb filter drops.
const char* const feminineOther[] = {
    "vez", "cor", "flor", "dor", "mulher", "colher", "luz", "cruz", "voz", "paz", "noz", "foz", "lei",
    "rede", "sede", "parede", "noite", "parte", "tarde", "morte", "sorte", "gente", "mente", "ponte",
    "fonte", "frente", "corrente", "serpente", "semente", "febre", "lebre", "classe", "fase", "base",
    "frase", "crise", "tese", "análise", "síntese", "hipótese", "série", "espécie", "superfície",
    "cárie", "pele", "neve", "ave", "chave", "nave", "clave", "árvore", "fome", "nuvem", "ordem",
    "vertente", "torre", "arte", "carne", "greve", "hélice", "fé", "pá", "mãe", "mão", "maçã",
    "irmã", "lã", "avó", "tribo", "foto", "moto", "libido", "virgem", "tosse", "estante", "lente",
    "hoste", "ré", "chaminé", "maré", "nau", "acne", "gripe", "equipe", "pirâmide", "elipse",
    "catástrofe", "estrofe", "glote", "fraude", "saúde", "opinião", "união", "reunião", "região",
    "legião", "religião", "razão", "conexão", "reflexão", "comunhão", "canção", "lição", "nação",
    "via", "tia", "lava", "arara", "cara", "vara", "arte", "margem", "vontade", "metade",
    "tempestade", "saudade", "amizade", "grade", "célula", "cédula", "página", "dúzia", "centena",
    "dezena", "quinzena", "semana", "hora", "rua", "casa", "linha", "letra", "coisa", "pessoa",
    "palavra", "vida", "obra", "mesa", "cadeira", "janela", "porta", "escola", "cidade", "gota",
    "bala", "lata", "caixa", "folha", "cópia", "vaga", "sala", "vaca", "galinha", "criança",
    "questão", "sessão", "seção", "ficha", "foto", "imagem", "mensagem", "viagem", "ordem",
    "hélice", "matriz", "raiz", "atriz", "imperatriz", "cicatriz", "perdiz", "codorniz", "nariz-",
    "tez", "rês", "vogal", "moral", "catedral", "espiral", "sucursal", "cal", "tenaz", "rapidez",
    "timidez", "altivez", "viuvez", "embriaguez", "gravidez", "lucidez", "surdez", "palidez",
    "nudez", "estupidez", "acidez", "escassez", "honradez", "mudez", "polidez", "insensatez",
    "sensatez", "solidez", "avidez", "fluidez", "sordidez", "liquidez", "validez", "robustez",
    "pequenez", "mesquinhez", "viuvez", "maciez", "languidez", "intrepidez", "tepidez",
    "mês-", "colmeia", "ideia", "assembleia", "plateia", "epopeia", "geleia", "boia", "joia",
    "jiboia", "tramoia", "paranoia", "apneia", "diarreia", "coreia", "panaceia", "odisseia",
    "soma", "goma", "redoma", "algema", "gema", "ema", "arma", "alma", "forma", "norma", "turma",
    "firma", "reforma", "plataforma", "pluma", "espuma", "bruma", "enzima", "vítima", "rima", "lima",
    "livraria", "padaria", "secretaria", "portaria", "bateria", "loteria", "galeria", "sorveteria",
    "lavanderia", "papelaria", "drogaria", "pastelaria", "relojoaria", "marcenaria", "carpintaria",
    "tesouraria", "procuradoria", "mercearia", "ferraria", "cervejaria", "churrascaria", "joalheria",
    "estima", "cama", "fama", "lama", "dama", "trama", "escama", "rama", "cisma-",
};

// Words in -a that are no nouns a count goes with: prepositions, pronouns,
// determiners, adverbs, and verb forms that follow a number as often as
// any noun ("o trem 21 chega", "venceu por 2 contra 1", "1 para cada"):
// reviewed by hand. A verb form that is a common noun too (conta, volta,
// falta, compra) stays a noun.
const char* const notNouns[] = {
    // prepositions, conjunctions, adverbs
    "para", "pela", "pelas", "contra", "perante", "mediante", "cerca", "fora", "afora", "agora", "embora",
    "outrora", "ora", "sequer", "nada", "cá", "lá", "já", "apenas", "tampouco", "ainda", "acima", "abaixo",
    "adiante", "dentro", "sobre", "quiçá", "oxalá", "toa", "numa", "numas", "duma", "dumas",
    // pronouns and determiners
    "ela", "elas", "dela", "delas", "nela", "nelas", "aquela", "aquelas", "daquela", "naquela", "essa", "essas",
    "esta", "estas", "dessa", "desta", "nessa", "nesta", "sua", "suas", "tua", "tuas", "minha", "minhas",
    "nossa", "nossas", "vossa", "vossas", "toda", "todas", "outra", "outras", "alguma", "algumas", "nenhuma",
    "nenhumas", "mesma", "mesmas", "própria", "próprias", "tanta", "tantas", "quanta", "quantas", "muita",
    "muitas", "pouca", "poucas", "certa", "certas", "tamanha", "cada", "uma", "umas",
    // verb forms (the third person of the present)
    "passa", "custa", "chega", "fica", "começa", "termina", "acaba", "leva", "deixa", "pega", "paga", "gasta",
    "ganha", "entra", "anda", "usa", "toma", "tira", "precisa", "gosta", "pensa", "acha", "olha", "trabalha",
    "joga", "manda", "vira", "continua", "dura", "pesa", "fecha", "funciona", "opera", "atua", "circula",
    "resta", "sobra", "basta", "aceita", "encerra", "inicia", "retorna", "está", "estava", "torna", "mora",
    "vota", "aumenta",
    "alcança", "ultrapassa", "supera", "representa", "totaliza", "registra", "apresenta",
    "indica", "aponta", "revela", "afeta", "atinge", "aguarda", "ocupa", "completa",
    "desembarca", "embarca", "decola", "aterrissa", "pousa",
};

// Endings that make a feminine noun (the word's plural must be listed).
bool feminineByEnding(const std::string& w, const std::set<std::string>& words) {
    if (endsWith(w, "a")) return true;
    if (endsWith(w, cp("ã"))) return words.count(w + "s") > 0;
    if (endsWith(w, cp("ção")) || endsWith(w, cp("são")) || endsWith(w, cp("xão")) ||
        endsWith(w, cp("idão")))
        return words.count(w.substr(0, w.size() - 2) + cp("ões")) > 0;
    if (endsWith(w, "dade") || endsWith(w, "tude")) return true;
    if (endsWith(w, "gem")) return words.count(w.substr(0, w.size() - 1) + "ns") > 0;
    if (endsWith(w, "ise") || endsWith(w, "ose") || endsWith(w, "ase") || endsWith(w, "ese")) return true;
    return false;
}

bool pluralListed(const std::string& w, const std::set<std::string>& words) {
    if (words.count(w + "s")) return true;
    if (endsWith(w, cp("ão"))) return words.count(w.substr(0, w.size() - 2) + cp("ões")) > 0;
    if (endsWith(w, "m")) return words.count(w.substr(0, w.size() - 1) + "ns") > 0;
    return words.count(w + "es") > 0;
}

// A form of a verb the list holds: the imperfect (-ava, -ia), the
// pluperfect (-ara), the conditional (-aria, -eria, -iria); a count never
// stands before these.
bool verbForm(const std::string& w, const std::set<std::string>& words) {
    const auto stemHas = [&](std::size_t cut, const char* infinitive) {
        return w.size() > cut + 1 && words.count(w.substr(0, w.size() - cut) + infinitive) > 0;
    };
    if (endsWith(w, "ava") && stemHas(3, "ar")) return true;
    if (endsWith(w, "ara") && stemHas(3, "ar")) return true;
    if (endsWith(w, "ia") && (stemHas(2, "er") || stemHas(2, "ir"))) return true;
    if (endsWith(w, "aria") && stemHas(4, "ar")) return true;
    if (endsWith(w, "eria") && stemHas(4, "er")) return true;
    if (endsWith(w, "iria") && stemHas(4, "ir")) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string list = argc > 1 ? argv[1] : "/usr/share/dict/brazilian";
    std::ifstream in(list);
    if (!in) {
        std::fprintf(stderr, "generos: %s cannot be read (apt-get install wbrazilian)\n", list.c_str());
        return 1;
    }
    std::set<std::string> words;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string w = platform::utf8ToCp1252(line);
        // Proper names (capitalised) and words with signs are not nouns to count.
        if (w.size() < 2 || w.find_first_of(" -'.") != std::string::npos) continue;
        const unsigned char first = static_cast<unsigned char>(w[0]);
        if ((first >= 'A' && first <= 'Z') || (first >= 0xC0 && first <= 0xDE)) continue;
        words.insert(w);
    }
    std::set<std::string> masculine, feminine;
    for (const char* m : masculineInA) masculine.insert(cp(m));
    for (const char* f : feminineOther) feminine.insert(cp(f));
    for (const char* n : notNouns) masculine.insert(cp(n));

    std::vector<std::string> out;
    for (const std::string& w : words) {
        if (masculine.count(w)) continue;
        if (feminine.count(w)) {
            out.push_back(w);
            continue;
        }
        // -ista, -crata, -cida: said with the masculine after a count.
        if (endsWith(w, "ista") || endsWith(w, "crata") || endsWith(w, "cida") || endsWith(w, "nauta") ||
            endsWith(w, "grama") || endsWith(w, "ema") || endsWith(w, "oma") || endsWith(w, "sma") ||
            endsWith(w, "gma"))
            continue;
        if (!feminineByEnding(w, words) || !pluralListed(w, words) || verbForm(w, words)) continue;
        out.push_back(w);
    }
    for (const std::string& f : feminine)
        if (!words.count(f) && f.back() != '-') out.push_back(f);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());

    std::cout << "; Feminine nouns of the built-in voice, in the singular: a count before\r\n"
                 "; one of them (or its plural) is said in the feminine (uma, duas,\r\n"
                 "; duzentas). Made by tools/generos from Debian's wbrazilian word list\r\n"
                 "; with reviewed rules (-a, -ã, -ção, -são, -dade, -tude, -gem, -ise)\r\n"
                 "; and reviewed lists of exceptions; do not edit by hand.\r\n";
    for (const std::string& w : out)
        if (w.back() != '-') std::cout << w << "\r\n";
    return 0;
}
