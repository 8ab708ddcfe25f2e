#include "Workbook.h"

#include "AppError.h"
#include "FileSystem.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <limits>
#include <xlsxwriter.h>

namespace {
// Wide enough for most phrases; a longer value shows its start and the
// rest on demand, as any long cell does.
constexpr int kMaxColumnWidth = 50;

AppError workbookError(const QString& what, lxw_error error) {
    return AppError(QStringLiteral("Cannot write the workbook: %1: %2")
                        .arg(what, QString::fromUtf8(lxw_strerror(error))));
}

void check(lxw_error error, const char* what) {
    if (error != LXW_NO_ERROR)
        throw workbookError(QLatin1StringView(what), error);
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
// U+FFFF, which XML does not hold either, are spelled the same way.
void appendCellText(QByteArray& out, QByteArrayView utf8) {
    if (!utf8.contains('_') && !utf8.contains('\xEF')) {
        out += utf8;
        return;
    }
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '_' && spellsCharacter(utf8, i)) {
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

Workbook::Workbook(QList<QByteArray> header) : header_(std::move(header)) {
    if (!folder_.isValid())
        throw AppError(QStringLiteral("Cannot write the workbook: cannot create a temporary "
                                      "folder in %1: %2")
                           .arg(QDir::toNativeSeparators(QDir::tempPath()), folder_.errorString()));
    folderPath_ = NativeName(folder_.path());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    // The library's own temporary files go with the workbook, and away with it.
    options.tmpdir = folderPath_.data();
    workbook_ = workbook_new_opt(
        NativeName(folder_.filePath(QStringLiteral("workbook.xlsx"))).constData(), &options);
    if (!workbook_)
        throw AppError(QStringLiteral("Cannot write the workbook: libxlsxwriter could not start "
                                      "one in %1")
                           .arg(QDir::toNativeSeparators(folder_.path())));
    bold_ = workbook_add_format(workbook_);
    format_set_bold(bold_);
    startSheet();
}

Workbook::~Workbook() {
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
    sheet_ = workbook_add_worksheet(workbook_, name.constData());
    if (!sheet_)
        throw AppError(QStringLiteral("Cannot write the workbook: cannot add the sheet %1")
                           .arg(QString::fromUtf8(name)));
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
        repaired = QString::fromUtf8(utf8).toUtf8();
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
    const lxw_error error = workbook_close(workbook_);
    workbook_ = nullptr; // closing frees it, whatever the outcome
    if (error != LXW_NO_ERROR)
        throw workbookError(QDir::toNativeSeparators(folder_.path()), error);
    QFile file(folder_.filePath(QStringLiteral("workbook.xlsx")));
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot read the workbook back from %1: %2")
                           .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
    QByteArray chunk;
    while (!(chunk = file.read(kChunkBytes)).isEmpty())
        write(chunk);
    if (file.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("Cannot read the workbook back from %1: %2")
                           .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
}
