// zul: the converter's work from the command line, for one file or many,
// and the way back. It reads and writes exactly as convzul does (the same
// line reader, decoder and format, from src/converter), and refuses what
// convzul refuses, with the same Portuguese messages on standard error. It
// reads documents as convzul does (DOCX, ODT, EPUB, HTML, RTF, PDF, scans)
// and tells the pages of a long one on standard error as they begin.
//
//   zul encode ENTRADA SAIDA            text to ZUL
//   zul encode -d PASTA ENTRADA...      each into PASTA/<name>.zul
//   zul decode [-u] ENTRADA SAIDA       ZUL to Windows-1252 (or UTF-8)
//   zul decode [-u] -d PASTA ENTRADA... each into PASTA/<name>.txt
//
// "-" is standard input or output. Exit codes: 0 every file converted, 1
// some file was not, 2 a wrong command line.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "converter/converter.hpp"
#include "platform/document/extraction.hpp"
#include "platform/system/files.hpp"
#include "platform/system/system.hpp"

namespace {

namespace fs = std::filesystem;

const char* const helpText =
    "zul: converte arquivos de texto para o formato ZUL, e de volta.\n"
    "\n"
    "Uso:\n"
    "  zul encode ENTRADA SA\xCD" "DA\n"
    "  zul encode -d PASTA ENTRADA...\n"
    "  zul decode [--utf8] ENTRADA SA\xCD" "DA\n"
    "  zul decode [--utf8] -d PASTA ENTRADA...\n"
    "\n"
    "  encode        texto para ZUL, como o convzul: o texto pode estar em UTF-8\n"
    "                ou em Windows-1252 (decidido pelo conte\xFA" "do) ou em UTF-16\n"
    "                com a sua marca, as linhas podem terminar em CR LF, LF ou CR,\n"
    "                e um Ctrl-Z encerra o texto; documentos DOCX, ODT, EPUB,\n"
    "                HTML, RTF, PDF, imagens digitalizadas e .doc tamb\xE9m s\xE3o\n"
    "                lidos, um par\xE1grafo por linha\n"
    "  decode        ZUL para texto em Windows-1252, com linhas terminadas em CR LF\n"
    "  -u, --utf8    (decode) o texto em UTF-8, com linhas terminadas em LF\n"
    "  -d PASTA      converte v\xE1rios arquivos: cada um vai para PASTA com o nome\n"
    "                da entrada e a extens\xE3o .zul (encode) ou .txt (decode)\n"
    "  -             no lugar de ENTRADA, a entrada padr\xE3o; no lugar de SA\xCD" "DA, a\n"
    "                sa\xED" "da padr\xE3o\n"
    "  --            o que vem depois \xE9 nome de arquivo, mesmo come\xE7" "ando com -\n"
    "  -h, --help    esta ajuda\n"
    "\n"
    "Uma sa\xED" "da que j\xE1 existe \xE9 substitu\xED" "da; a entrada nunca \xE9 tocada.\n"
    "C\xF3" "digos de sa\xED" "da: 0 tudo convertido, 1 algum arquivo n\xE3o foi convertido,\n"
    "2 linha de comando errada.\n";

// Messages are kept in Windows-1252 like every text of the system and go
// out in UTF-8; names are the file system's own and go out as they are.
void tell(const std::string& name, const std::string& cp1252) {
    const std::string line = "zul: " + (name.empty() ? "" : name + ": ") + platform::cp1252ToUtf8(cp1252) + "\n";
    std::fputs(line.c_str(), stderr);
}

// How a file is named in a message ("-" is a standard stream).
std::string shown(const std::string& name, bool input) {
    if (name != "-") return name;
    return platform::cp1252ToUtf8(input ? "entrada padr\xE3o" : "sa\xED" "da padr\xE3o");
}

[[noreturn]] void usage(const std::string& cp1252) {
    tell("", cp1252);
    tell("", "use zul --help para ver como usar.");
    std::exit(2);
}

struct Job {
    std::string in, out;
};

bool isStandard(const std::string& name) { return name == "-"; }

// The name the file system knows a name by: standard input and output by
// the links the kernel gives them.
std::string statName(const std::string& name, bool input) {
    if (!isStandard(name)) return name;
    return input ? "/dev/stdin" : "/dev/stdout";
}

// The output of one input under -d: its name in the folder, with the
// extension the direction gives.
std::string outputIn(const std::string& folder, const std::string& in, bool encoding) {
    fs::path name = fs::path(in).filename();
    name.replace_extension(encoding ? ".zul" : ".txt");
    return (fs::path(folder) / name).string();
}

// Two names of one file on disk, which writing the one would destroy the
// other (a terminal on both standard streams is no such case).
bool sameFile(const std::string& a, bool aIn, const std::string& b, bool bIn) {
    if (a == b && !isStandard(a)) return true;
    std::error_code ec;
    return fs::is_regular_file(statName(a, aIn), ec) && platform::sameFile(statName(a, aIn), statName(b, bIn));
}

// Converts one file; false after a failure, which has been told.
bool run(const Job& job, bool encoding, converter::TextOut as) {
    platform::InputFile in;
    const int opened = isStandard(job.in) ? in.openStandardInput() : in.open(job.in);
    if (opened != 0) {
        std::string text = converter::noInputText;
        if (opened != platform::fileerror::notFound) text += " (" + platform::systemErrorText(opened) + ")";
        tell(shown(job.in, true), text);
        return false;
    }
    // Read through the document reader: what it refuses is refused before
    // the output exists; the pages of a long document are told as they begin.
    converter::Input input(in, job.in, isStandard(job.in) ? std::string() : job.in,
                           {{}, [&](int page, int pages) { tell(shown(job.in, true), document::progressText(page, pages)); }});
    platform::OutputFile out;
    try {
        if (encoding) {
            if (const document::Failure f = input.open(document::Extract::whole)) {
                tell(shown(job.in, true), document::failureText(f));
                return false;
            }
        }
        if (isStandard(job.out)) {
            const int e = out.openStandardOutput();
            if (e != 0) throw converter::IoError{101, e, job.out};
        } else {
            converter::createOutput(out, job.out, job.out);
        }
        if (encoding) {
            const converter::Summary s = converter::convertLines(input.source(), job.in, out, job.out, nullptr);
            if (const int e = in.close()) throw converter::IoError{100, e, job.in};
            if (const int e = out.close()) throw converter::IoError{101, e, job.out};
            if (s.unkept > 0) tell(shown(job.in, true), converter::unkeptText(s.unkept));
        } else {
            converter::decodeOpenFiles(in, job.in, out, job.out, as);
        }
    } catch (const converter::IoError& e) {
        tell(shown(e.fileName, e.code == 100), e.reason());  // 100: a read failed
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    document::setExtractionStarter(platform::document::startExtraction);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "-h" || args[0] == "--help")) {
        std::fputs(platform::cp1252ToUtf8(helpText).c_str(), stdout);
        return 0;
    }
    if (args.empty()) usage("falta o comando: encode ou decode.");
    const std::string command = args[0];
    if (command != "encode" && command != "decode") usage("comando desconhecido: " + command);
    const bool encoding = command == "encode";

    converter::TextOut as = converter::TextOut::cp1252;
    std::string folder;
    bool toFolder = false;
    std::vector<std::string> names;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a == "-" || a.empty() || a[0] != '-') {
            names.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "-h" || a == "--help") {
            std::fputs(platform::cp1252ToUtf8(helpText).c_str(), stdout);
            return 0;
        } else if ((a == "-u" || a == "--utf8") && !encoding) {
            as = converter::TextOut::utf8;
        } else if (a == "-d") {
            if (i + 1 >= args.size()) usage("falta a pasta depois de -d.");
            folder = args[++i];
            toFolder = true;
        } else {
            usage("op\xE7\xE3o desconhecida: " + a);
        }
    }

    std::vector<Job> jobs;
    if (toFolder) {
        if (names.empty()) usage("falta o nome dos arquivos a converter.");
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) usage("a pasta n\xE3o existe: " + folder);
        for (const std::string& n : names) {
            if (isStandard(n)) usage("com -d, a entrada padr\xE3o n\xE3o tem nome para a sa\xED" "da.");
            jobs.push_back({n, outputIn(folder, n, encoding)});
        }
    } else {
        if (names.size() != 2)
            usage(names.size() < 2 ? "faltam a entrada e a sa\xED" "da." : "sobram nomes (para v\xE1rios arquivos, use -d PASTA).");
        jobs.push_back({names[0], names[1]});
    }

    bool allDone = true;
    for (std::size_t j = 0; j < jobs.size(); ++j) {
        const Job& job = jobs[j];
        // No output may be an input (this one or a later one, which it
        // would overwrite before it is read), nor an earlier output.
        bool refused = false;
        for (std::size_t k = 0; k < jobs.size() && !refused; ++k)
            refused = sameFile(job.out, false, jobs[k].in, true) || (k < j && sameFile(job.out, false, jobs[k].out, false));
        if (refused) {
            tell(shown(job.in, true) + " -> " + shown(job.out, false), converter::sameNamesText);
            allDone = false;
            continue;
        }
        if (!run(job, encoding, as)) allDone = false;
    }
    return allDone ? 0 : 1;
}
