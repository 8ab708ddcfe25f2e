// SPDX-License-Identifier: GPL-3.0-or-later
#include "Workbook.h"

#include "AppError.h"
#include "FileSystem.h"
#include "Utf8Text.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <xlsxwriter.h>

namespace {
// Wide enough for most phrases; a longer value shows its start and the
// rest on demand, as any long cell does.
constexpr int kMaxColumnWidth = 50;

// What the library printed on standard error while `call` ran, for our own
// message: "[ERROR] workbook_close(): Zip error ..." becomes "Zip error ...".
// Its lines never reach the user raw.
template <class Call> QStringList libraryMessages(Call&& call) {
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    const int capture = ::memfd_create("lexigrove-workbook-messages", MFD_CLOEXEC);
    if (saved < 0 || capture < 0 || ::dup2(capture, STDERR_FILENO) < 0) {
        // Without a place for them they are dropped rather than shown raw.
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved >= 0 && null >= 0)
            ::dup2(null, STDERR_FILENO);
        if (null >= 0)
            ::close(null);
    }
    call();
    std::fflush(stderr);
    if (saved >= 0) {
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
    }
    if (capture < 0)
        return {};
    // A few lines at most; more than that adds nothing to the message.
    char text[2048];
    const ssize_t length = ReadSome(capture, text, sizeof text, 0);
    ::close(capture);
    static const QRegularExpression prefix(
        QStringLiteral("^(\\[[^]]*\\]:?\\s*)+(\\w+\\(\\):\\s*)?"));
    QStringList lines;
    for (QString line : QString::fromLocal8Bit(text, std::max<ssize_t>(length, 0)).split(u'\n')) {
        line = line.remove(prefix).trimmed();
        while (line.endsWith(u'.'))
            line.chop(1);
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}

// The reason is the system's when the library tells it ("System error = No
// space left on device"), else the library's own text for the error.
AppError workbookError(const QString& what, lxw_error error, QStringList messages = {}) {
    static const QString systemError = QStringLiteral(". System error = ");
    QString reason = QString::fromUtf8(lxw_strerror(error));
    for (QString& line : messages) {
        const qsizetype at = line.indexOf(systemError);
        if (at >= 0) {
            reason = line.sliced(at + systemError.size());
            line.truncate(at);
        }
    }
    return AppError(QStringLiteral("Cannot write the workbook %1: %2%3")
                        .arg(what, reason,
                             messages.isEmpty() ? QString()
                                                : QStringLiteral(" (libxlsxwriter: %1)")
                                                      .arg(messages.join(QStringLiteral("; ")))));
}

void check(lxw_error error, const char* what) {
    if (error != LXW_NO_ERROR)
        throw AppError(QStringLiteral("Cannot write the workbook: %1: %2")
                           .arg(QLatin1StringView(what), QString::fromUtf8(lxw_strerror(error))));
}

// A decimal count a number cell holds exactly, as a sense is: "1", "12".
std::optional<double> plainNumber(QByteArrayView text) {
    if (text.isEmpty() || text.size() > 15 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return text.toDouble();
}

// UTF-16 code units, as a spreadsheet counts a cell's characters: one per
// character, two for one beyond the Basic Multilingual Plane.
int utf16Length(QByteArrayView utf8) {
    qsizetype units = 0;
    for (const char c : utf8)
        units += ((uchar(c) & 0xC0) != 0x80) + (uchar(c) >= 0xF0);
    return int(std::min<qsizetype>(units, std::numeric_limits<int>::max()));
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Whether `text` at `at` reads _xHHHH_, the file format's spelling of a
// character by its number.
bool spellsCharacter(QByteArrayView text, qsizetype at) {
    return at + 7 <= text.size() && text[at] == '_' && text[at + 1] == 'x' &&
           std::all_of(text.begin() + at + 2, text.begin() + at + 6, isHex) && text[at + 6] == '_';
}

// XML holds no control character but tab and line feed; the library spells
// the others _xHHHH_, which spreadsheets read back as the character. So that
// a value reading _xHHHH_ itself comes back as written and not as the
// character it names, its underscore is spelled too (_x005F_). U+FFFE and
// U+FFFF, which XML does not hold either, are spelled the same way, and so
// is NUL, which would end the library's C string.
void appendCellText(QByteArray& out, QByteArrayView utf8) {
    if (!utf8.contains('_') && !utf8.contains('\xEF') && !utf8.contains('\0')) {
        out += utf8;
        return;
    }
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\0') {
            out += "_x0000_";
        } else if (utf8[i] == '_' && spellsCharacter(utf8, i)) {
            out += "_x005F_";
        } else if (utf8.sliced(i).startsWith("\xEF\xBF\xBE") ||
                   utf8.sliced(i).startsWith("\xEF\xBF\xBF")) {
            out += utf8[i + 2] == '\xBE' ? "_xFFFE_" : "_xFFFF_";
            i += 2;
        } else {
            out += utf8[i];
        }
    }
}
} // namespace

// Ctrl-C, a closed terminal or a polite kill during a workbook would leave
// its temporary folder behind, up to the whole run's rows as XML. While the
// workbook exists, those signals first empty and remove that folder, then
// go on as they would have. Only what is safe in a signal handler is used:
// the folder is open already, and its path is kept as bytes.
class RemovedOnInterruption {
  public:
    explicit RemovedOnInterruption(const QByteArray& folder) {
        // One workbook at a time is all the program makes; a second one, or a
        // path too long to keep, goes without.
        if (folderFd_ >= 0 || folder.size() >= qsizetype(sizeof folder_))
            return;
        folderFd_ = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folderFd_ < 0)
            return;
        std::copy(folder.begin(), folder.end(), folder_);
        folder_[folder.size()] = '\0';
        owner_ = true;
        struct sigaction action {};
        action.sa_handler = handle;
        sigfillset(&action.sa_mask);
        for (int i = 0; i < kSignalCount; ++i) {
            ::sigaction(kSignals[i], nullptr, &before_[i]);
            // A signal ignored from the start (a background job's SIGINT) stays ignored.
            installed_[i] =
                before_[i].sa_handler != SIG_IGN && ::sigaction(kSignals[i], &action, nullptr) == 0;
        }
    }
    ~RemovedOnInterruption() {
        if (!owner_)
            return;
        // A handler someone installed since then stays.
        for (int i = 0; i < kSignalCount; ++i) {
            struct sigaction now {};
            if (installed_[i] && ::sigaction(kSignals[i], nullptr, &now) == 0 &&
                now.sa_handler == handle)
                ::sigaction(kSignals[i], &before_[i], nullptr);
        }
        ::close(folderFd_);
        folderFd_ = -1;
    }
    RemovedOnInterruption(const RemovedOnInterruption&) = delete;
    RemovedOnInterruption& operator=(const RemovedOnInterruption&) = delete;

  private:
    static void handle(int signal) {
        const int savedErrno = errno;
        removeFolder();
        for (int i = 0; i < kSignalCount; ++i)
            if (kSignals[i] == signal)
                ::sigaction(signal, &before_[i], nullptr);
        // Blocked until this handler returns; then it acts as it did before.
        ::raise(signal);
        errno = savedErrno;
    }

    // getdents64 and unlinkat, not readdir, which may allocate.
    static void removeFolder() {
        struct Entry {
            ino64_t inode;
            off64_t next;
            unsigned short length;
            unsigned char type;
            char name[1];
        };
        alignas(Entry) char entries[4096];
        // Removing entries while reading them may skip some; read again until none is left.
        for (bool removed = true; removed;) {
            removed = false;
            ::lseek(folderFd_, 0, SEEK_SET);
            for (long size;
                 (size = ::syscall(SYS_getdents64, folderFd_, entries, sizeof entries)) > 0;)
                for (long at = 0; at < size;) {
                    const auto* entry = reinterpret_cast<const Entry*>(entries + at);
                    at += entry->length;
                    const char* name = entry->name;
                    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                        continue;
                    removed |= ::unlinkat(folderFd_, name, 0) == 0;
                }
        }
        ::rmdir(folder_);
    }

    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    static constexpr int kSignalCount = int(std::size(kSignals));
    static inline int folderFd_ = -1;
    static inline char folder_[4096];
    static inline struct sigaction before_[kSignalCount];
    bool installed_[kSignalCount] = {};
    bool owner_ = false;
};

Workbook::Workbook(QList<QByteArray> header, int numberColumn)
    : header_(std::move(header)), numberColumn_(numberColumn) {
    if (!folder_.isValid())
        throw AppError(QStringLiteral("Cannot write the workbook: cannot create a temporary "
                                      "folder in %1: %2")
                           .arg(QDir::tempPath(), folder_.errorString()));
    folderPath_ = NativeName(folder_.path());
    interrupted_ = std::make_unique<RemovedOnInterruption>(folderPath_);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    // The library's own temporary files go with the workbook, and away with it.
    options.tmpdir = folderPath_.data();
    const QStringList messages = libraryMessages([&] {
        workbook_ = workbook_new_opt(
            NativeName(folder_.filePath(QStringLiteral("workbook.xlsx"))).constData(), &options);
    });
    if (!workbook_)
        throw workbookError(QStringLiteral("in ") + folder_.path(), LXW_ERROR_CREATING_XLSX_FILE,
                            messages);
    bold_ = workbook_add_format(workbook_);
    format_set_bold(bold_);
    startSheet();
}

Workbook::~Workbook() {
    // The folder goes with its members; the handlers go back before that.
    interrupted_.reset();
    if (!workbook_)
        return;
    // A workbook that was not finished is dropped without writing it; the
    // library closes each sheet's row file only when it writes the sheet.
    lxw_worksheet* sheet = nullptr;
    STAILQ_FOREACH(sheet, workbook_->worksheets, list_pointers)
    if (sheet->optimize_tmpfile)
        std::fclose(sheet->optimize_tmpfile);
    lxw_workbook_free(workbook_);
}

void Workbook::startSheet() {
    ++sheets_;
    const QByteArray name =
        sheets_ == 1 ? QByteArray("Synonyms") : "Synonyms " + QByteArray::number(sheets_);
    const QStringList messages =
        libraryMessages([&] { sheet_ = workbook_add_worksheet(workbook_, name.constData()); });
    if (!sheet_)
        throw workbookError(QStringLiteral("in ") + folder_.path(), LXW_ERROR_CREATING_TMPFILE,
                            messages);
    row_ = 0;
    widths_.fill(0, header_.size());
    for (int column = 0; column < header_.size(); ++column)
        writeCell(column, header_[column], bold_);
    ++row_;
    worksheet_freeze_panes(sheet_, 1, 0);
}

// Column widths, like the filter's range, go into the sheet's file before its
// rows when the workbook is closed, so they can be set once the rows are known.
void Workbook::closeSheet() {
    const lxw_col_t last = lxw_col_t(header_.size() - 1);
    check(worksheet_autofilter(sheet_, 0, 0, lxw_row_t(row_ - 1), last), "cannot add the filter");
    for (int column = 0; column < header_.size(); ++column)
        check(worksheet_set_column(sheet_, lxw_col_t(column), lxw_col_t(column),
                                   std::min(widths_[column], kMaxColumnWidth) + 2, nullptr),
              "cannot set a column width");
}

void Workbook::addRow(std::span<const QByteArrayView> values) {
    if (row_ == kSheetRows) {
        closeSheet();
        startSheet();
    }
    for (int column = 0; column < int(values.size()); ++column)
        writeCell(column, values[column], nullptr);
    ++row_;
}

void Workbook::writeCell(int column, QByteArrayView utf8, lxw_format* format) {
    QByteArray repaired;
    // A database may hold bytes that are not UTF-8; they become U+FFFD, as
    // in the table format, rather than a file that no reader opens.
    if (!utf8.isValidUtf8()) {
        repaired = WordFromUtf8(utf8).toUtf8();
        utf8 = repaired;
    }
    const int length = utf16Length(utf8);
    if (length > kCellCharacters)
        throw FieldTooLong{QStringLiteral("its %1 is %2 characters long, more than a "
                                          "spreadsheet cell holds (%3)")
                               .arg(QString::fromUtf8(header_[column]))
                               .arg(length)
                               .arg(kCellCharacters)};
    widths_[column] = std::max(widths_[column], length);
    if (column == numberColumn_ && format == nullptr)
        if (const std::optional<double> number = plainNumber(utf8))
            return check(worksheet_write_number(sheet_, lxw_row_t(row_), lxw_col_t(column), *number,
                                                nullptr),
                         "cannot write a cell");
    cell_.truncate(0);
    appendCellText(cell_, utf8);
    const lxw_error error = worksheet_write_string(sheet_, lxw_row_t(row_), lxw_col_t(column),
                                                   cell_.constData(), format);
    // Spelling an underscore takes seven characters in the library's count.
    if (error == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED)
        throw FieldTooLong{QStringLiteral("its %1 holds too many characters that a workbook "
                                          "spells out (_xHHHH_) for a spreadsheet cell")
                               .arg(QString::fromUtf8(header_[column]))};
    check(error, "cannot write a cell");
}

void Workbook::finish(const std::function<void(const QByteArray&)>& write) {
    closeSheet();
    lxw_error error = LXW_NO_ERROR;
    const QStringList messages = libraryMessages([&] { error = workbook_close(workbook_); });
    workbook_ = nullptr; // closing frees it, whatever the outcome
    if (error != LXW_NO_ERROR)
        throw workbookError(QStringLiteral("in ") + folder_.path(), error, messages);
    QFile file(folder_.filePath(QStringLiteral("workbook.xlsx")));
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot read the workbook back from %1: %2")
                           .arg(file.fileName(), file.errorString()));
    QByteArray chunk;
    while (!(chunk = file.read(kChunkBytes)).isEmpty())
        write(chunk);
    if (file.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("Cannot read the workbook back from %1: %2")
                           .arg(file.fileName(), file.errorString()));
}
