// lerdoc: the document helper. The converter, zul and falar start it, one
// run per document, to take the text out of a document in a process of its
// own: a library or a tool that crashes, loops or swallows memory on a
// hostile file ends this process, under the limits set here, never the
// program the user is talking to.
//
//     lerdoc KIND FILE        KIND: pdf image docx odt epub html rtf doc
//
// The text goes to standard output in UTF-8; a form feed ends each page of
// a PDF or an image. Descriptor 3 carries what the reader is told, a line
// each: "pages N", "page I" (a page begins), "error PROBLEM [PACKAGE]".
// Limits, from the environment: QUORIL_DOCUMENT_MEMORY_MB (address space,
// default 2048) and QUORIL_DOCUMENT_CPU_SECONDS (default 3600). Exit code:
// 0 done, 1 an error told on descriptor 3, 2 a wrong command line.
//
// PDF: poppler, page by page; a page's words put back into printed rows
// (see pageText), with a blank line where the gap between two rows says a
// paragraph ends. A page without text (a scan) is drawn at
// 300 dpi and read by Tesseract with its Portuguese data, unless a drawing
// at 10 dpi shows it blank. Images (PNG, JPEG, TIFF of any number of
// pages): Tesseract. DOCX, ODT, EPUB, HTML, RTF: pandoc to plain text,
// without wrapping, tables one row a paragraph. Old Word: antiword, else
// catdoc.
#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <leptonica/allheaders.h>
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>
#include <tesseract/baseapi.h>

#include "platform/document/limits.hpp"

extern char** environ;

namespace {

constexpr double ocrDpi = 300;
// Pixels of the largest page or image read (a 300 dpi page of 84 x 84 cm);
// a larger PDF page is drawn at a lower resolution, a larger image refused.
constexpr double maxPixels = 100e6;

FILE* status = nullptr;

void tell(const std::string& line) {
    if (!status) return;
    std::fputs((line + "\n").c_str(), status);
    std::fflush(status);
}

[[noreturn]] void fail(const std::string& problem, const std::string& package = {}) {
    tell("error " + problem + (package.empty() ? "" : " " + package));
    std::fflush(stdout);
    std::_Exit(1);
}

void out(const char* text, std::size_t size) {
    if (size > 0 && std::fwrite(text, 1, size, stdout) != size) std::_Exit(1);  // the reader went away
}
void out(const std::string& text) { out(text.data(), text.size()); }

using platform::document::envLimit;

void setLimits() {
    const rlim_t memory = static_cast<rlim_t>(envLimit("QUORIL_DOCUMENT_MEMORY_MB", 2048)) << 20;
    const rlim_t cpu = static_cast<rlim_t>(envLimit("QUORIL_DOCUMENT_CPU_SECONDS", 3600));
    const struct rlimit as = {memory, memory}, cpuLimit = {cpu, cpu + 5}, none = {0, 0};
    setrlimit(RLIMIT_AS, &as);
    setrlimit(RLIMIT_CPU, &cpuLimit);
    setrlimit(RLIMIT_CORE, &none);
}

// ---- OCR ----

struct Ocr {
    tesseract::TessBaseAPI api;
    bool started = false;

    void start() {
        if (started) return;
        // One thread: the machine's other cores belong to the user.
        setenv("OMP_THREAD_LIMIT", "1", 0);
        if (api.Init(nullptr, "por") != 0) fail("missing-tool", "tesseract-ocr-por");
        api.SetPageSegMode(tesseract::PSM_AUTO);
        started = true;
    }

    // The text of an 8-bit grey image (or any leptonica image).
    void read(Pix* pix, int dpi) {
        start();
        api.SetImage(pix);
        api.SetSourceResolution(dpi > 0 ? dpi : static_cast<int>(ocrDpi));
        std::unique_ptr<char[]> text(api.GetUTF8Text());
        if (text) out(text.get(), std::strlen(text.get()));
        api.Clear();
    }
};

Pix* greyPix(const poppler::image& img) {
    const int w = img.width(), h = img.height();
    Pix* pix = pixCreate(w, h, 8);
    if (!pix) fail("no-memory");
    const char* data = img.const_data();
    for (int y = 0; y < h; ++y) {
        l_uint32* line = pixGetData(pix) + y * pixGetWpl(pix);
        const auto* row = reinterpret_cast<const unsigned char*>(data + static_cast<std::ptrdiff_t>(y) * img.bytes_per_row());
        for (int x = 0; x < w; ++x) SET_DATA_BYTE(line, x, row[x]);
    }
    return pix;
}

// ---- PDF ----

void quiet(const std::string&, void*) {}

struct Word {
    double top, bottom, left, right;
    std::string text;
    double middle() const { return (top + bottom) / 2; }
    double height() const { return std::max(1.0, bottom - top); }
};

using Row = std::vector<const Word*>;

// Rows of words as printed, from words in some order: a word joins a row
// when its middle lies within the row's height, and keeps joining the
// last row it could (rows in the order they start).
std::vector<Row> rowsOf(const std::vector<const Word*>& words, bool sortByPosition) {
    std::vector<const Word*> order = words;
    if (sortByPosition)
        std::stable_sort(order.begin(), order.end(), [](const Word* a, const Word* b) { return a->middle() < b->middle(); });
    std::vector<Row> rows;
    double top = 0, bottom = 0, right = 0;
    for (const Word* w : order) {
        const bool sameRow = !rows.empty() && w->middle() >= top && w->middle() <= bottom &&
                             (sortByPosition || w->left >= right - w->height());
        if (sameRow) {
            rows.back().push_back(w);
            top = std::min(top, w->top);
            bottom = std::max(bottom, w->bottom);
        } else {
            rows.push_back({w});
            top = w->top;
            bottom = w->bottom;
        }
        right = w->right;
    }
    if (sortByPosition)
        for (Row& r : rows) std::stable_sort(r.begin(), r.end(), [](const Word* a, const Word* b) { return a->left < b->left; });
    return rows;
}

// Whether a row holds a gap wider than two heights of its words (a
// second column, or a table's cells).
bool hasWideGap(const Row& r) {
    for (std::size_t i = 1; i < r.size(); ++i)
        if (r[i]->left - r[i - 1]->right > 2 * r[i]->height()) return true;
    return false;
}

// A page's text. Its words are put into printed rows, read from top to
// bottom; cells of a table row, set apart by a wide gap, are joined by a
// comma, so that a table is read row by row. A page whose rows mostly
// have such a gap is set in columns: its words are then taken in poppler's
// reading order, a column after the other. A gap between rows of more
// than half a row's height ends a paragraph (a blank line), and so does a
// row that goes back up the page (the next column).
std::string pageText(const poppler::page& page) {
    std::vector<Word> all;
    for (const poppler::text_box& box : page.text_list()) {
        const poppler::byte_array utf8 = box.text().to_utf8();
        if (utf8.empty()) continue;
        const poppler::rectf r = box.bbox();
        all.push_back({r.top(), r.bottom(), r.left(), r.right(), std::string(utf8.begin(), utf8.end())});
    }
    std::vector<const Word*> words;
    for (const Word& w : all) words.push_back(&w);
    std::vector<Row> rows = rowsOf(words, true);
    std::size_t wide = 0, several = 0;
    for (const Row& r : rows) {
        if (r.size() < 2) continue;
        ++several;
        if (hasWideGap(r)) ++wide;
    }
    const bool columns = several >= 6 && wide * 10 > several * 4;
    if (columns) rows = rowsOf(words, false);

    std::string text;
    double lastTop = 0, lastBottom = 0;
    bool lastInTable = false;
    for (const Row& r : rows) {
        double top = r[0]->top, bottom = r[0]->bottom;
        for (const Word* w : r) top = std::min(top, w->top), bottom = std::max(bottom, w->bottom);
        // A table's row is a paragraph of its own.
        const bool inTable = !columns && hasWideGap(r);
        if (!text.empty()) {
            const double gap = top - lastBottom, height = std::max(bottom - top, lastBottom - lastTop);
            text += gap > 0.6 * height || gap < -3 * height || inTable || lastInTable ? "\n\n" : "\n";
        }
        lastInTable = inTable;
        for (std::size_t i = 0; i < r.size(); ++i) {
            if (i > 0) text += inTable && r[i]->left - r[i - 1]->right > 2 * r[i]->height() ? ", " : " ";
            text += r[i]->text;
        }
        lastTop = top;
        lastBottom = bottom;
    }
    return text;
}

bool hasWord(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b >= 0x80;
    });
}

bool blank(const poppler::image& img) {
    const char* data = img.const_data();
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const unsigned char*>(data + static_cast<std::ptrdiff_t>(y) * img.bytes_per_row());
        for (int x = 0; x < img.width(); ++x)
            if (row[x] < 200) return false;
    }
    return true;
}

void readPdf(const std::string& file) {
    poppler::set_debug_error_function(quiet, nullptr);
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(file));
    if (!doc) {
        // Locked documents load; what does not load is damaged, unless
        // its trailer names an encryption that a password would open.
        fail("damaged");
    }
    if (doc->is_locked()) fail("encrypted");
    const int pages = doc->pages();
    if (pages <= 0) fail("damaged");
    tell("pages " + std::to_string(pages));
    Ocr ocr;
    poppler::page_renderer renderer;
    renderer.set_image_format(poppler::image::format_gray8);
    renderer.set_render_hints(poppler::page_renderer::antialiasing | poppler::page_renderer::text_antialiasing);
    int missing = 0;
    for (int i = 0; i < pages; ++i) {
        tell("page " + std::to_string(i + 1));
        std::unique_ptr<poppler::page> page(doc->create_page(i));
        if (!page) {
            ++missing;
            continue;
        }
        std::string text = pageText(*page);
        if (hasWord(text)) {
            out(text + "\n\f");
            continue;
        }
        // No text layer: a scan, unless the page is blank.
        if (blank(renderer.render_page(page.get(), 10, 10))) {
            out("\f");
            continue;
        }
        const poppler::rectf size = page->page_rect(poppler::media_box);
        double dpi = ocrDpi;
        const double pixels = size.width() / 72 * dpi * size.height() / 72 * dpi;
        if (pixels > maxPixels) dpi *= std::sqrt(maxPixels / pixels);
        const poppler::image img = renderer.render_page(page.get(), dpi, dpi);
        if (!img.is_valid()) {
            out("\f");
            continue;
        }
        Pix* pix = greyPix(img);
        ocr.read(pix, static_cast<int>(dpi));
        pixDestroy(&pix);
        out("\f");
    }
    if (missing == pages) fail("damaged");
}

// ---- images ----

void readImage(const std::string& file) {
    l_int32 format = 0, w = 0, h = 0, bps = 0, spp = 0, cmap = 0;
    if (pixReadHeader(file.c_str(), &format, &w, &h, &bps, &spp, &cmap) != 0) fail("damaged");
    if (static_cast<double>(w) * h > maxPixels) fail("image-too-large");
    int pages = 1;
    if (format == IFF_TIFF || (format >= IFF_TIFF_PACKBITS && format <= IFF_TIFF_JPEG)) {
        if (FILE* f = std::fopen(file.c_str(), "rb")) {
            l_int32 n = 1;
            if (tiffGetCount(f, &n) == 0 && n > 0) pages = n;
            std::fclose(f);
        }
    }
    tell("pages " + std::to_string(pages));
    Ocr ocr;
    for (int i = 0; i < pages; ++i) {
        tell("page " + std::to_string(i + 1));
        Pix* pix = pages > 1 ? pixReadTiff(file.c_str(), i) : pixRead(file.c_str());
        if (!pix) {
            if (i == 0) fail("damaged");
            break;
        }
        if (static_cast<double>(pixGetWidth(pix)) * pixGetHeight(pix) > maxPixels) fail("image-too-large");
        ocr.read(pix, pixGetXRes(pix));
        pixDestroy(&pix);
        out("\f");
    }
}

// ---- tools ----

// Tables as one paragraph a row, the cells joined by commas (pandoc's
// own plain tables draw columns a voice cannot follow).
const char* const rowsFilter = R"(
local function row(r)
  local cells = {}
  for _, c in ipairs(r.cells) do
    local t = pandoc.utils.stringify(c.contents)
    if t ~= '' then cells[#cells + 1] = t end
  end
  return pandoc.Para({pandoc.Str(table.concat(cells, ', '))})
end
function Table(t)
  local out = {}
  for _, r in ipairs(t.head.rows) do out[#out + 1] = row(r) end
  for _, b in ipairs(t.bodies) do
    for _, r in ipairs(b.head) do out[#out + 1] = row(r) end
    for _, r in ipairs(b.body) do out[#out + 1] = row(r) end
  end
  for _, r in ipairs(t.foot.rows) do out[#out + 1] = row(r) end
  return out
end
)";

// Runs a tool (an argument vector, never a shell) with its output as ours;
// answers its wait status, or -1 when the program is not installed.
int runTool(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (status) posix_spawn_file_actions_addclose(&actions, fileno(status));
    pid_t pid;
    const int e = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (e != 0) return -1;
    int st = 0;
    while (waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
    return st;
}

void readWithPandoc(const std::string& kind, const std::string& file) {
    // The filter lives in memory; pandoc reads it by its /proc name.
    const int fd = memfd_create("linhas.lua", 0);
    if (fd < 0 || write(fd, rowsFilter, std::strlen(rowsFilter)) < 0) fail("failed");
    // pandoc's own heap limit, well inside the address space: its runtime
    // reserves much of that space for itself and its threads.
    const long heap = envLimit("QUORIL_DOCUMENT_MEMORY_MB", 2048) / 4;
    std::fflush(stdout);
    const int st = runTool({"pandoc", "-f", kind, "-t", "plain", "--wrap=none",
                            "--lua-filter=/proc/self/fd/" + std::to_string(fd), "+RTS", "-M" + std::to_string(heap) + "m",
                            "-RTS", file});
    if (st == -1) fail("missing-tool", "pandoc");
    if (WIFSIGNALED(st)) fail(WTERMSIG(st) == SIGXCPU || WTERMSIG(st) == SIGKILL ? "too-slow" : "failed");
    if (WEXITSTATUS(st) == 251) fail("no-memory");  // the heap limit
    if (WEXITSTATUS(st) != 0) fail("damaged");
}

void readOldWord(const std::string& file) {
    std::fflush(stdout);
    int st = runTool({"antiword", "-w", "0", "-m", "UTF-8.txt", file});
    if (st == -1) st = runTool({"catdoc", "-d", "utf-8", "-w", file});
    if (st == -1) fail("missing-tool", "antiword");
    if (WIFSIGNALED(st) || WEXITSTATUS(st) != 0) fail("damaged");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("uso: lerdoc TIPO ARQUIVO\n", stderr);
        return 2;
    }
    status = fdopen(3, "w");
    if (status) fcntl(3, F_SETFD, FD_CLOEXEC);
    setLimits();
    signal(SIGPIPE, SIG_DFL);
    const std::string kind = argv[1];
    // The name as an absolute path, so that no tool takes it for an option.
    char resolved[PATH_MAX];
    if (!realpath(argv[2], resolved)) fail("damaged");
    const std::string file = resolved;
    try {
        if (kind == "pdf") readPdf(file);
        else if (kind == "image") readImage(file);
        else if (kind == "docx" || kind == "odt" || kind == "epub" || kind == "html" || kind == "rtf") readWithPandoc(kind, file);
        else if (kind == "doc") readOldWord(file);
        else fail("unsupported");
    } catch (const std::bad_alloc&) {
        fail("no-memory");
    }
    std::fflush(stdout);
    return 0;
}
