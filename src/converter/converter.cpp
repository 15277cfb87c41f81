#include "converter/converter.hpp"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "console/qrcrt.hpp"
#include "converter/zul.hpp"
#include "platform/document/extraction.hpp"
#include "platform/system/system.hpp"
#include "platform/window/window.hpp"
#include "speaking/lineinput.hpp"
#include "speaking/output.hpp"

namespace converter {

const char* const titleText = "Conversor de arquivos para formato ZUL";
const char* const askInputText = "Qual o arquivo a converter?";
const char* const askOutputText = "Qual o arquivo de sa\xED" "da?";
const char* const sameNamesText = "Nomes tem que ser diferentes";
const char* const noInputText = "Arquivo inexistente";
const char* const doneText = "Ok, convertido";

namespace {

// Run-time error numbers, as the user's error box shows them.
constexpr int fileNotFound = 2;
constexpr int pathNotFound = 3;
constexpr int accessDenied = 5;
constexpr int readFault = 100;
constexpr int writeFault = 101;

int createErrorCode(int systemError) {
    namespace fe = platform::fileerror;
    if (systemError == fe::notFound || systemError == fe::notDirectory) return pathNotFound;
    if (systemError == fe::accessDenied || systemError == fe::notPermitted || systemError == fe::readOnly ||
        systemError == fe::isDirectory)
        return accessDenied;
    return writeFault;
}

// The input as the line reader sees it; a failed read raises IoError.
class FileSource : public zul::ByteSource {
public:
    FileSource(platform::InputFile& file, const std::string& name, const std::function<void()>& whileWaiting)
        : file_(file), name_(name), whileWaiting_(whileWaiting) {}
    std::size_t read(char* buffer, std::size_t size) override {
        long long n = file_.read(buffer, size, whileWaiting_);
        if (n < 0) throw IoError{readFault, static_cast<int>(-n), name_};
        return static_cast<std::size_t>(n);
    }
    long long readAt(std::uint64_t offset, char* buffer, std::size_t size) override {
        long long n = file_.readAt(offset, buffer, size);
        return n < 0 ? -1 : n;
    }

private:
    platform::InputFile& file_;
    const std::string& name_;
    const std::function<void()>& whileWaiting_;
};

void check(int systemError, int code, const std::string& name) {
    if (systemError != 0) throw IoError{code, systemError, name};
}

[[noreturn]] void finish() {
    speaking::endSpeech();
    qrcrt::closeScreen();
}

[[noreturn]] void fail(const IoError& e) {
    speaking::showMessage("convzul", e.text());
    platform::exitProcess(1);
}

}  // namespace

std::string unkeptText(std::uint64_t count) {
    return count == 1 ? std::string("1 caractere n\xE3o p\xF4" "de ser mantido")
                      : std::to_string(count) + " caracteres n\xE3o puderam ser mantidos";
}

std::string IoError::reason() const {
    return "Erro de entrada/sa\xED" "da " + std::to_string(code) + ": " + platform::systemErrorText(systemError);
}

std::string IoError::text() const { return reason() + " (" + fileName + ")"; }

namespace {

// The next line of reader into line; false at the end of the input.
bool nextLine(zul::LineReader& reader, std::string& line, const std::string& inName) {
    try {
        return reader.next(line);
    } catch (const std::bad_alloc&) {
        // A line larger than memory: an input failure like any other.
        std::string().swap(line);
    } catch (const std::length_error&) {
        std::string().swap(line);
    }
    throw IoError{readFault, platform::fileerror::noMemory, inName};
}

// Writes the ZUL form of a Windows-1252 line and its CR LF, leaving the
// line as it is (it is shown and spoken afterwards), a piece at a time.
void writeEncoded(platform::OutputFile& out, const std::string& line, const std::string& outName) {
    char piece[20 * 1024];  // whole mask cycles
    for (std::size_t done = 0; done < line.size();) {
        const std::size_t n = std::min(sizeof piece, line.size() - done);
        zul::encodeBytes(line.data() + done, n, done, piece);
        check(out.write(piece, n), writeFault, outName);
        done += n;
    }
    check(out.write("\r\n", 2), writeFault, outName);
}

void closeBoth(platform::InputFile& in, const std::string& inName, platform::OutputFile& out,
               const std::string& outName) {
    check(in.close(), readFault, inName);
    check(out.close(), writeFault, outName);
}

}  // namespace

Summary convertLines(zul::ByteSource& source, const std::string& inName, platform::OutputFile& out,
                     const std::string& outName, const LineFn& onLine, const std::function<void()>& pump) {
    zul::LineReader reader(source);
    if (pump) reader.whileLongLine(pump);
    platform::TextDecoder decoder;
    Summary summary;
    std::string line;
    while (nextLine(reader, line, inName)) {
        decoder.decodeLine(line);
        // In the file first: showing and speaking the line pumps messages,
        // and a window closed meanwhile ends the process.
        writeEncoded(out, line, outName);
        if (pump) check(out.flush(), writeFault, outName);
        ++summary.lines;
        if (onLine) onLine(line);
    }
    summary.unkept = decoder.unkept();
    return summary;
}

struct Input::Parts {
    Parts(platform::InputFile& file, const std::string& inName, const std::string& nativeName, document::Hooks hooks)
        : pump(hooks.pump), file(file, inName, pump), reader(this->file, nativeName, std::move(hooks)) {}
    std::function<void()> pump;
    FileSource file;
    document::Reader reader;
};

Input::Input(platform::InputFile& file, const std::string& inName, const std::string& nativeName, document::Hooks hooks)
    : parts_(std::make_unique<Parts>(file, inName, nativeName, std::move(hooks))) {}
Input::~Input() = default;
document::Failure Input::open(document::Extract how) { return parts_->reader.open(how); }
zul::ByteSource& Input::source() { return parts_->reader; }
document::Kind Input::kind() const { return parts_->reader.kind(); }

Summary convertOpenFiles(platform::InputFile& in, const std::string& inName, platform::OutputFile& out,
                         const std::string& outName, const LineFn& onLine, const std::function<void()>& pump) {
    Summary summary;
    {
        Input input(in, inName, "", {pump, {}});
        if (const document::Failure f = input.open(document::Extract::whole)) throw f;
        summary = convertLines(input.source(), inName, out, outName, onLine, pump);
    }
    closeBoth(in, inName, out, outName);
    return summary;
}

void createOutput(platform::OutputFile& out, const std::string& nativeName, const std::string& shownName) {
    const int e = out.create(nativeName);
    check(e, createErrorCode(e), shownName);
}

Summary convertFile(const std::string& nativeIn, const std::string& nativeOut, const LineFn& onLine) {
    platform::InputFile in;
    check(in.open(nativeIn), fileNotFound, nativeIn);
    platform::OutputFile out;
    createOutput(out, nativeOut, nativeOut);
    return convertOpenFiles(in, nativeIn, out, nativeOut, onLine);
}

Summary decodeLines(zul::ByteSource& source, const std::string& inName, platform::OutputFile& out,
                    const std::string& outName, TextOut as) {
    zul::LineReader reader(source);
    Summary summary;
    std::string line;
    while (nextLine(reader, line, inName)) {
        if (as == TextOut::utf8) {
            zul::scrambleLine(line);
            const std::string text = platform::oemToUtf8(line);
            check(out.write(text.data(), text.size()), writeFault, outName);
            check(out.write("\n", 1), writeFault, outName);
        } else {
            zul::decodeLine(line);
            check(out.write(line.data(), line.size()), writeFault, outName);
            check(out.write("\r\n", 2), writeFault, outName);
        }
        ++summary.lines;
    }
    return summary;
}

Summary decodeOpenFiles(platform::InputFile& in, const std::string& inName, platform::OutputFile& out,
                        const std::string& outName, TextOut as) {
    Summary summary;
    {
        const std::function<void()> none;
        FileSource source(in, inName, none);
        summary = decodeLines(source, inName, out, outName, as);
    }
    closeBoth(in, inName, out, outName);
    return summary;
}

void run() {
    document::setExtractionStarter(platform::document::startExtraction);
    speaking::startSpeech(0, "");
    speaking::writeLineSpoken(titleText);
    std::string inName, outName;
    speaking::writeLineSpoken(askInputText);
    speaking::readLineSpoken(inName);
    speaking::writeLineSpoken(askOutputText);
    speaking::readLineSpoken(outName);

    const std::string nativeIn = platform::toNativeName(inName);
    const std::string nativeOut = platform::toNativeName(outName);
    // Two spellings of one file would truncate the input before it is read.
    if (inName == outName || platform::sameFile(nativeIn, nativeOut)) {
        speaking::writeLineSpoken(sameNamesText);
        finish();
    }

    std::uint64_t unkept = 0;
    try {
        platform::InputFile in;
        if (in.open(nativeIn) != 0) {
            speaking::writeLineSpoken(noInputText);
            finish();
        }
        // Keys and the window's close button are heard while a long line,
        // a slow pipe or a document is read; the pages of a long document
        // are told as they begin.
        const std::function<void()> pump = [] { qrcrt::pumpMessages(); };
        Input input(in, inName, nativeIn,
                    {pump, [](int page, int pages) { speaking::writeLineSpoken(document::progressText(page, pages)); }});
        // What is refused is refused before the output exists, and so is a
        // document whose reading fails: it is read whole first.
        if (const document::Failure f = input.open(document::Extract::whole)) {
            speaking::writeLineSpoken(document::failureText(f));
            finish();
        }
        platform::OutputFile out;
        createOutput(out, nativeOut, outName);
        // Every converted line is in the file at once, whatever ends the run.
        const Summary summary = convertLines(input.source(), inName, out, outName, speaking::writeLineSpoken, pump);
        closeBoth(in, inName, out, outName);
        unkept = summary.unkept;
    } catch (const IoError& e) {
        // The files are closed by now; the output keeps what was written.
        fail(e);
    }
    if (unkept > 0) speaking::writeLineSpoken(unkeptText(unkept));
    speaking::writeLineSpoken(doneText);
    finish();
}

}  // namespace converter
