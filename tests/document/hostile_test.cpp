// Broken and hostile documents: each is refused with its own message on
// standard error, zul exits 1, no output file is left, and the reading ends
// in bounded time, whatever the libraries or pandoc make of the file. The
// documents are made here (a PDF by hand, archives and images by python3's
// zipfile and zlib), and so are stand-ins for a helper that crashes or
// hangs.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "document/document_support.hpp"
#include "document/reader.hpp"
#include "platform/system/system.hpp"
#include "support/temp_dir.hpp"

namespace {

using namespace docsupport;
using document::Problem;

// A PDF of the given objects (numbered from 1), with a true cross-reference
// table; object 1 is the catalog.
std::string pdf(const std::vector<std::string>& objects) {
    std::string out = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const std::size_t o : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", o);
        out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return out;
}

// 10,000 pages without content, all the same page object's kin.
std::string emptyPages(int count) {
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", ""};
    std::string kids;
    for (int i = 0; i < count; ++i) {
        kids += std::to_string(i + 3) + " 0 R ";
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>");
    }
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) + " >>";
    return pdf(objects);
}

// A page tree whose node is its own kid.
std::string pageTreeLoop() {
    return pdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [2 0 R 3 0 R] /Count 2 >>",
                "<< /Type /Pages /Parent 2 0 R /Kids [2 0 R] /Count 1 >>"});
}

struct Case {
    const char* what;
    const char* file;
    std::string make;    // a shell command in the folder ("" when written here)
    const char* needs;   // a program make needs
    std::string env;     // before zul
    Problem problem;
    std::string package;
};

TEST(HostileDocuments, EachRefusedWithItsMessageAndNoOutput) {
    if (!std::filesystem::exists(buildDir() / "lerdoc")) GTEST_SKIP() << "lerdoc is not built (poppler, tesseract missing)";
    support::TempDir tmp("quoril_hostile");
    const auto& dir = tmp.path();
    writeFile(dir / "loop.pdf", pageTreeLoop());
    writeFile(dir / "empty.pdf", emptyPages(10000));
    writeFile(dir / "letter.md", "# Carta\n\nUma linha de texto qualquer, com acentos: a\xC3\xA7\xC3\xA3o.\n");
    // Stand-ins for a helper that crashes and one that hangs.
    writeFile(dir / "crash.sh", "#!/bin/sh\necho 'pages 3' >&3\nkill -SEGV $$\n");
    writeFile(dir / "hang.sh", "#!/bin/sh\necho 'pages 3' >&3\nexec sleep 60\n");
    ::chmod((dir / "crash.sh").c_str(), 0755);
    ::chmod((dir / "hang.sh").c_str(), 0755);

    const std::string bomb = R"(pandoc letter.md -o small.docx && python3 -c '
import zipfile
small = zipfile.ZipFile("small.docx")
with zipfile.ZipFile("bomb.docx", "w", zipfile.ZIP_DEFLATED) as z:
    for m in small.namelist():
        if m != "word/document.xml": z.writestr(m, small.read(m))
    with z.open("word/document.xml", "w") as f:
        f.write(b"<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>")
        row = b"<w:p><w:r><w:t>a</w:t></w:r></w:p>" * 30000
        for i in range(300): f.write(row)
        f.write(b"</w:body></w:document>")
')";
    const std::string huge = R"(python3 -c '
import struct, zlib
w = h = 30000
def chunk(t, d): return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
c = zlib.compressobj(9); row = b"\0" + b"\xff" * (w // 8); data = b"".join(c.compress(row) for _ in range(h)) + c.flush()
open("huge.png", "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 1, 0, 0, 0, 0)) + chunk(b"IDAT", data) + chunk(b"IEND", b""))
')";
    const std::string helper = "QUORIL_DOCUMENT_HELPER=";
    const std::vector<Case> cases = {
        {"a DOCX cut in half", "cut.docx", "pandoc letter.md -o whole.docx && head -c $(($(stat -c %s whole.docx) / 2)) whole.docx > cut.docx",
         "pandoc", "", Problem::damaged, ""},
        // pandoc's heap fills in some 20 s on a busy machine.
        {"a ZIP bomb (300 MB of paragraphs in 1 MB)", "bomb.docx", bomb, "python3", "QUORIL_DOCUMENT_MEMORY_MB=1536",
         Problem::noMemory, ""},
        {"a PDF whose page tree loops", "loop.pdf", "", "", "", Problem::damaged, ""},
        {"a PDF of 10,000 empty pages", "empty.pdf", "", "", "", Problem::noText, ""},
        {"an image of 30,000 x 30,000 pixels", "huge.png", huge, "python3", "", Problem::imageTooLarge, ""},
        {"a PDF locked by a password", "locked.pdf",
         "pandoc letter.md -t html -s -M title=x -o l.html && printf '%%!PS\\n/Helvetica findfont 12 scalefont setfont 72 700 moveto (segredo) show showpage\\n' > l.ps && "
         "gs -q -sDEVICE=pdfwrite -sOwnerPassword=dono -sUserPassword=senha -o locked.pdf l.ps",
         "gs", "", Problem::encrypted, ""},
        {"pandoc is not installed", "carta.docx", "pandoc letter.md -o carta.docx", "pandoc", "PATH=/nenhum",
         Problem::missingTool, "pandoc"},
        {"the helper crashes", "carta.pdf", "cp loop.pdf carta.pdf", "", helper + "'" + (dir / "crash.sh").string() + "'",
         Problem::failed, ""},
        {"the helper hangs", "carta2.pdf", "cp loop.pdf carta2.pdf", "",
         helper + "'" + (dir / "hang.sh").string() + "' QUORIL_DOCUMENT_IDLE_SECONDS=2", Problem::tooSlow, ""},
    };
    for (const Case& c : cases) {
        if ((*c.needs && !have(c.needs)) || (!c.make.empty() && shell("cd '" + dir.string() + "' && (" + c.make + ") >/dev/null 2>&1") != 0)) {
            std::printf("skipped %s: %s\n", c.what, *c.needs ? (std::string(c.needs) + " missing or failed").c_str() : "not made");
            continue;
        }
        const std::string out = std::string(c.file) + ".zul";
        const ZulRun r = zulEncode(dir, c.file, out, c.env);
        std::printf("%-45s %.1f s: %s", c.what, r.seconds, r.err.c_str());
        const std::string told = platform::cp1252ToUtf8(document::failureText({c.problem, c.package}));
        EXPECT_EQ(r.exitCode, 1) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(told), std::string::npos) << c.what << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / out)) << c.what << ": an output was left";
        EXPECT_LT(r.seconds, 120) << c.what;
    }
}

}  // namespace
