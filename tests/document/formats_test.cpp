// Documents as users receive them, made at test time from one Portuguese
// letter: pandoc writes it as DOCX, ODT, EPUB, HTML and RTF; groff and
// ghostscript print it to a PDF with its text; ghostscript draws that page
// at 300 dpi, as a PNG alone and as a PDF of the image only (a scan). zul
// must give back the letter's words in order, nearly all of them (98% for
// documents with text, 95% for scans) and few that it lacks; a paragraph
// is one line and a table row is one line. Cases whose tools are missing
// are skipped, and said so.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "document/document_support.hpp"
#include "platform/system/system.hpp"
#include "support/temp_dir.hpp"

namespace {

using namespace docsupport;

// The letter (UTF-8 Markdown): a heading, paragraphs, a list and a table.
const char* const letter = R"(# Carta aos moradores do bairro

Prezados vizinhos, a associação de moradores convida todos para a reunião extraordinária que acontecerá no salão paroquial, na próxima quinta-feira, às dezenove horas. Discutiremos a iluminação da praça, a coleta de lixo reciclável e a segurança das crianças na saída da escola.

A prefeitura prometeu trocar as lâmpadas queimadas até o fim do mês, mas até agora nenhuma equipe apareceu. Precisamos de voluntários para registrar os pontos escuros e entregar um relatório organizado ao vereador responsável pela região.

## Assuntos da pauta

- Iluminação pública e poda das árvores
- Coleta seletiva às terças e sextas
- Horário de funcionamento da biblioteca comunitária

| Serviço | Dia | Responsável |
|---------|-----|-------------|
| Coleta | terça | João |
| Poda | sábado | Maria |

O mutirão de limpeza do córrego foi um sucesso: quarenta pessoas recolheram entulho, garrafas e pneus velhos durante a manhã inteira de domingo. A próxima etapa será plantar mudas nativas nas margens, com o apoio da escola estadual e dos escoteiros.

Contamos com a presença de cada família. Quem não puder comparecer pode enviar sugestões por escrito ao síndico, que levará as opiniões à assembleia geral.
)";

struct Format {
    const char* name;
    const char* file;
    const char* make;   // shell commands in the folder, from letter.md
    const char* tools;  // programs make needs, blank-separated
    double least;       // words right over words in the letter
    bool scan;
};

const Format formats[] = {
    {"DOCX", "carta.docx", "pandoc letter.md -o carta.docx", "pandoc", 0.98, false},
    {"ODT", "carta.odt", "pandoc letter.md -o carta.odt", "pandoc", 0.98, false},
    {"EPUB", "carta.epub", "pandoc letter.md -M title=Carta -o carta.epub", "pandoc", 0.98, false},
    {"HTML", "carta.html", "pandoc -s letter.md -M title=Carta -o carta.html", "pandoc", 0.98, false},
    // pandoc 2.17 reads its own writer's "\uN?" as one letter too many;
    // Word and LibreOffice give the fallback as a hex escape.
    {"RTF", "carta.rtf", "pandoc -s letter.md -o carta.rtf && sed -i \"s/\\\\\\\\u\\([0-9]*\\)?/\\\\\\\\u\\1\\\\\\\\'3f/g\" carta.rtf",
     "pandoc sed", 0.98, false},
    {"PDF with text", "carta.pdf",
     "pandoc -s letter.md -M title=Carta -M section=1 -t man -o carta.man && groff -k -t -man -Tps -P-pa4 carta.man > "
     "carta.ps && gs -q -sDEVICE=pdfwrite -o carta.pdf carta.ps",
     "pandoc groff gs", 0.98, false},
    {"PNG scan at 300 dpi", "carta.png", "gs -q -sDEVICE=pnggray -r300 -o carta.png carta.pdf", "gs", 0.95, true},
    {"PDF of a scan", "scan.pdf", "gs -q -sDEVICE=pdfimage8 -r300 -o scan.pdf carta.pdf", "gs", 0.95, true},
};

TEST(DocumentFormats, WordsComeBackInOrder) {
    if (!std::filesystem::exists(buildDir() / "lerdoc")) GTEST_SKIP() << "lerdoc is not built (poppler, tesseract missing)";
    support::TempDir tmp("quoril_formats");
    const auto& dir = tmp.path();
    writeFile(dir / "letter.md", letter);
    const std::vector<std::string> source = words(platform::utf8ToCp1252(letter));

    std::vector<const Format*> made;
    for (const Format& f : formats) {
        std::string missing;
        for (const std::string& tool : words(f.tools))
            if (!have(tool)) missing += tool + " ";
        if (!missing.empty() || shell("cd '" + dir.string() + "' && (" + f.make + ") >/dev/null 2>&1") != 0) {
            std::printf("skipped %s: %s\n", f.name, missing.empty() ? "could not be made" : ("missing " + missing).c_str());
            continue;
        }
        made.push_back(&f);
    }
    // Recognising a scan takes seconds: the two scans are read side by side.
    std::vector<ZulRun> runs(made.size());
    std::vector<std::thread> scans;
    for (std::size_t i = 0; i < made.size(); ++i) {
        const std::string out = std::string(made[i]->file) + ".zul";
        if (made[i]->scan)
            scans.emplace_back([&, i, out] { runs[i] = zulEncode(dir, made[i]->file, out); });
        else
            runs[i] = zulEncode(dir, made[i]->file, out);
    }
    for (auto& t : scans) t.join();

    for (std::size_t i = 0; i < made.size(); ++i) {
        const Format& f = *made[i];
        ASSERT_EQ(runs[i].exitCode, 0) << f.name << ": " << runs[i].err;
        const std::vector<std::string> lines = zulLines(dir / (std::string(f.file) + ".zul"));
        std::string text;
        for (const std::string& l : lines) text += l + "\n";
        const std::vector<std::string> got = words(text);
        const std::size_t right = wordsInOrder(source, got);
        std::printf("%-20s %3zu/%zu words right, %zu extra, %.2f s\n", f.name, right, source.size(), got.size() - right,
                    runs[i].seconds);
        EXPECT_GE(right, f.least * source.size()) << f.name << ":\n" << text;
        EXPECT_LE(got.size() - right, source.size() / 20) << f.name << ": words the letter lacks\n" << text;
        // A paragraph is one line; a table row of a structured document is one too.
        const std::string sentence = "Contamos com a presen\xE7" "a de cada fam\xEDlia.";
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                                [&](const std::string& l) { return l.rfind(sentence, 0) == 0 && l.find("geral.") != std::string::npos; }) ||
                    f.scan)
            << f.name << ": the last paragraph is not one line\n" << text;
        if (std::string(f.file).find(".pdf") == std::string::npos && !f.scan) {
            EXPECT_NE(std::find(lines.begin(), lines.end(), "Coleta, ter\xE7" "a, Jo\xE3o"), lines.end()) << f.name << "\n" << text;
        }
    }
}

}  // namespace
