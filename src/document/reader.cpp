#include "document/reader.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace document {
namespace {

const char* const utf8Mark = "\xEF\xBB\xBF";

StartExtraction& starter() {
    static StartExtraction start;
    return start;
}

// The size of a file given by name when it is a regular file, else 0.
std::uint64_t regularSize(const std::string& nativeName) {
    if (nativeName.empty()) return 0;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(nativeName, ec)) return 0;
    const auto size = std::filesystem::file_size(nativeName, ec);
    return ec ? 0 : static_cast<std::uint64_t>(size);
}

}  // namespace

std::string failureText(const Failure& f) {
    switch (f.problem) {
    case Problem::none: return {};
    case Problem::notText: return "O arquivo n\xE3o \xE9 de texto nem um documento conhecido";
    case Problem::notByName: return "Um documento tem que ser dado pelo nome do arquivo, n\xE3o pela entrada padr\xE3o";
    case Problem::unsupported: return "Formato de documento n\xE3o suportado: salve-o como texto, DOCX, ODT ou PDF";
    case Problem::damaged: return "Documento danificado: o arquivo est\xE1 incompleto ou corrompido";
    case Problem::encrypted: return "Documento protegido por senha: salve uma c\xF3pia sem senha para convert\xEA-lo";
    case Problem::noText: return "Nenhum texto encontrado no documento";
    case Problem::missingTool:
        if (f.package == "antiword")
            return "Para ler documentos do Word antigo (.doc), instale o pacote antiword, ou salve o documento como DOCX ou ODT";
        return "Falta um programa para ler este documento: instale o pacote " + f.package;
    case Problem::imageTooLarge: return "Imagem grande demais para ser lida";
    case Problem::tooMuchText: return "O documento tem texto demais para ser convertido";
    case Problem::tooSlow: return "O documento demorou demais para ser lido";
    case Problem::noMemory: return "O documento precisa de mem\xF3ria demais para ser lido";
    case Problem::failed: return "O leitor de documentos falhou ao ler este arquivo";
    case Problem::noHelper: return "O leitor de documentos n\xE3o est\xE1 instalado: reinstale o pacote convzul";
    }
    return {};
}

std::string progressText(int page, int pages) {
    return "Lendo a p\xE1gina " + std::to_string(page) + " de " + std::to_string(pages);
}

void setExtractionStarter(StartExtraction start) { starter() = std::move(start); }

Reader::Reader(zul::ByteSource& file, std::string nativeName, Hooks hooks)
    : file_(file), nativeName_(std::move(nativeName)), hooks_(std::move(hooks)) {}

Reader::~Reader() = default;

Failure Reader::open(Extract how) {
    // The head: a file's first 64 KiB; from a pipe, what it gives first
    // (enough for a mark), so that a line typed into it is not held back.
    const std::uint64_t size = regularSize(nativeName_);
    head_.resize(headSize);
    std::size_t got = 0;
    while (got < headSize) {
        const std::size_t n = file_.read(head_.data() + got, headSize - got);
        if (n == 0) {
            ended_ = true;
            break;
        }
        got += n;
        if (size == 0 && (got >= 3 || std::memchr(head_.data(), '\n', got) != nullptr)) break;
    }
    head_.resize(got);
    std::string tail;
    if (size > head_.size()) {
        tail.resize(static_cast<std::size_t>(std::min<std::uint64_t>(tailSize, size)));
        const long long n = file_.readAt(size - tail.size(), tail.data(), tail.size());
        tail.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    kind_ = kindOf({head_, tail, size});

    switch (kind_) {
    case Kind::text: return {};
    case Kind::utf16le:
    case Kind::utf16be:
        utf16_ = std::make_unique<platform::Utf16Decoder>(kind_ == Kind::utf16be);
        // The UTF-8 mark before the first character makes the decoder
        // take the text as UTF-8 (an empty file stays empty).
        markDue_ = true;
        utf16_->decode(head_.data() + 2, head_.size() - 2, pending_);
        if (!pending_.empty()) pending_.insert(0, utf8Mark), markDue_ = false;
        head_.clear();
        return {};
    case Kind::notText: return {Problem::notText, {}};
    case Kind::damaged: return {Problem::damaged, {}};
    case Kind::unsupported: return {Problem::unsupported, {}};
    default: break;
    }
    // A document: its text comes from the helper.
    head_.clear();
    if (nativeName_.empty() || size == 0) return {Problem::notByName, {}};
    if (!starter()) return {Problem::unsupported, {}};
    Failure failure;
    extraction_ = starter()(nativeName_, kindName(kind_), hooks_, failure);
    if (!extraction_) return failure ? failure : Failure{Problem::failed, {}};
    const bool printed = kind_ == Kind::pdf || kind_ == Kind::image;
    shaper_ = std::make_unique<Shaper>(printed ? Layout::printedLines : Layout::paragraphs);
    pending_ = utf8Mark;
    if (how == Extract::whole) {
        // The helper bounds its text, so the whole of it fits in memory.
        try {
            std::string text = utf8Mark;
            while (refill()) text += pending_;
            pending_ = std::move(text);
            pendingGiven_ = 0;
        } catch (const Failure& f) {
            extraction_.reset();
            pending_.clear();
            return f;
        }
    }
    return {};
}

// Takes more text into pending_; false at the end of the input.
bool Reader::refill() {
    pending_.clear();
    pendingGiven_ = 0;
    char chunk[65536];
    if (utf16_) {
        if (utf16Done_) return false;
        const std::size_t n = ended_ ? 0 : file_.read(chunk, sizeof chunk);
        if (n == 0) {
            ended_ = utf16Done_ = true;
            utf16_->finish(pending_);
            if (pending_.empty()) return false;
        } else {
            utf16_->decode(chunk, n, pending_);
        }
        if (markDue_ && !pending_.empty()) pending_.insert(0, utf8Mark), markDue_ = false;
        return true;  // a byte may have given nothing yet
    }
    // A document: shaped text, until the helper's text ends.
    if (!extraction_) return false;
    while (pending_.empty() && extraction_) {
        const std::size_t n = extraction_->read(chunk, sizeof chunk);
        if (n == 0) {
            shaper_->finish(pending_);
            extraction_.reset();
            ended_ = true;
            if (!shaper_->anyText()) throw Failure{Problem::noText, {}};
        } else {
            shaper_->feed(std::string_view(chunk, n), pending_);
        }
    }
    return !pending_.empty();
}

std::size_t Reader::serve(char* buffer, std::size_t size) {
    const std::size_t n = std::min(size, pending_.size() - pendingGiven_);
    std::memcpy(buffer, pending_.data() + pendingGiven_, n);
    pendingGiven_ += n;
    return n;
}

std::size_t Reader::read(char* buffer, std::size_t size) {
    if (size == 0) return 0;
    if (kind_ == Kind::text) {
        if (headGiven_ < head_.size()) {
            const std::size_t n = std::min(size, head_.size() - headGiven_);
            std::memcpy(buffer, head_.data() + headGiven_, n);
            headGiven_ += n;
            return n;
        }
        return ended_ ? 0 : file_.read(buffer, size);
    }
    while (pendingGiven_ == pending_.size())
        if (!refill()) return 0;
    return serve(buffer, size);
}

long long Reader::readAt(std::uint64_t offset, char* buffer, std::size_t size) {
    if (kind_ != Kind::text) return -1;
    return file_.readAt(offset, buffer, size);
}

}  // namespace document
