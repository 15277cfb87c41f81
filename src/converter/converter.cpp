#include "converter/converter.hpp"

#include <new>
#include <stdexcept>

#include "console/qrcrt.hpp"
#include "converter/zul.hpp"
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

std::string IoError::text() const {
    return "Erro de entrada/sa\xED" "da " + std::to_string(code) + ": " + platform::systemErrorText(systemError) +
           " (" + fileName + ")";
}

void convertLines(zul::ByteSource& source, const std::string& inName, platform::OutputFile& out,
                  const std::string& outName, const LineFn& onLine, const std::function<void()>& pump) {
    zul::LineReader reader(source);
    if (pump) reader.whileLongLine(pump);
    std::string line;
    for (;;) {
        try {
            if (!reader.next(line)) break;
        } catch (const std::bad_alloc&) {
            // A line larger than memory: an input failure like any other.
            std::string().swap(line);
            throw IoError{readFault, platform::fileerror::noMemory, inName};
        } catch (const std::length_error&) {
            std::string().swap(line);
            throw IoError{readFault, platform::fileerror::noMemory, inName};
        }
        if (onLine) onLine(line);
        zul::encodeLine(line);
        check(out.write(line.data(), line.size()), writeFault, outName);
        check(out.write("\r\n", 2), writeFault, outName);
        if (pump) check(out.flush(), writeFault, outName);
    }
}

void convertOpenFiles(platform::InputFile& in, const std::string& inName, platform::OutputFile& out,
                      const std::string& outName, const LineFn& onLine, const std::function<void()>& pump) {
    {
        FileSource source(in, inName, pump);
        convertLines(source, inName, out, outName, onLine, pump);
    }
    check(in.close(), readFault, inName);
    check(out.close(), writeFault, outName);
}

void convertFile(const std::string& nativeIn, const std::string& nativeOut, const LineFn& onLine) {
    platform::InputFile in;
    check(in.open(nativeIn), fileNotFound, nativeIn);
    platform::OutputFile out;
    int e = out.create(nativeOut);
    check(e, createErrorCode(e), nativeOut);
    convertOpenFiles(in, nativeIn, out, nativeOut, onLine);
}

void run() {
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

    try {
        platform::InputFile in;
        if (in.open(nativeIn) != 0) {
            speaking::writeLineSpoken(noInputText);
            finish();
        }
        platform::OutputFile out;
        int e = out.create(nativeOut);
        check(e, createErrorCode(e), outName);
        // Keys and the window's close button are heard while a long line
        // or a slow pipe is read; every converted line is in the file at
        // once, whatever ends the run.
        convertOpenFiles(in, inName, out, outName, speaking::writeLineSpoken, [] { qrcrt::pumpMessages(); });
    } catch (const IoError& e) {
        // The files are closed by now; the output keeps what was written.
        fail(e);
    }
    speaking::writeLineSpoken(doneText);
    finish();
}

}  // namespace converter
