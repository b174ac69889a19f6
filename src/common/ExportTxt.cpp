#include "ExportTxt.h"

#include "PlatformDialogs.h"
#include "WalkProgress.h"
#include "ZorvStr.h"
#include "ZorvUtilUnit.h"
#include "engine/Exception.h"
#include "engine/FieldFormatter.h"
#include "engine/FileWrite.h"
#include "engine/TDataSet.h"
#include "engine/TField.h"
#include "engine/WalkGuard.h"
#include "engine/Win1251.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <memory>
#include <optional>

TExportTxtOpts ExportTxtOpts;

namespace {

const QString NotExported = QStringLiteral("smNotExportedToFile");

// Lines are collected into blocks of about this size before they are written.
const qsizetype BlockSize = 1 << 16;

struct TColumn {
    TField* Field; // none: the column is skipped
    int Width;     // characters
};

bool HasExtension(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).contains(QLatin1Char('.'));
}

// The folder of a path, without a trailing "/" except for the root itself.
QString FolderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return {};
    QString folder = path.left(slash);
    while (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder.isEmpty() ? QStringLiteral("/") : folder;
}

// Asks for the file until the user names one that is new or may be
// overwritten; false when the dialog was cancelled.
bool ChooseFile(const QString& title, QString& path) {
    const bool ownName = !ExportTxtOpts.DefaultFileName.isEmpty();
    QString proposed = ownName ? ExportTxtOpts.DefaultFileName : title;
    ReplaceChar(proposed, QLatin1Char(' '), QLatin1Char('_'));
    if (!ownName) proposed = StripPunctuation(proposed);
    for (;;) {
        const std::optional<QString> chosen =
            PromptSaveFile(QStringLiteral("Запис в текстов файл"),
                           QStringLiteral("Text files (*.txt);;All files (*)"), proposed, LastUserDir);
        if (!chosen) return false;
        QString file = *chosen;
        if (!HasExtension(file)) file += QStringLiteral(".txt");
        LastUserDir = FolderOf(file);
        if (!QFileInfo::exists(file) ||
            ShowMsg(QLatin1Char('"') + file + QStringLiteral("\" Already Exists Overwrite"),
                    QStringLiteral("Внимание"), MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) == IDYES) {
            path = file;
            return true;
        }
        // Asked again, the dialog opens in the refused file's folder.
        proposed = file.mid(file.lastIndexOf(QLatin1Char('/')) + 1);
    }
}

// Tabs, line breaks and backslashes become two-character escapes, so that no
// cell can break a line or a column: a backslash and this character; 0 for
// any character that stands for itself.
char EscapeTwin(char16_t u) {
    return u == u'\t' ? '-' : u == u'\n' ? '_' : u == u'\r' ? '.' : u == u'\\' ? '\\' : 0;
}

// Blanks and control characters off both ends.
QString TrimBlank(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= 32)
        ++first;
    while (last > first && text.at(last - 1).unicode() <= 32)
        --last;
    return text.mid(first, last - first);
}

// The export's file. The lines go to a temporary file beside the target,
// which replaces it only when everything was written: a failed or cancelled
// export leaves the old file as it was, or no file. Where the folder refuses
// a temporary file but the file itself may be written, and for a device, the
// file is written in place; it is opened, and so emptied, only when the
// first block is written, so that a failure before that leaves the old file
// as it was.
class TExportFile {
public:
    explicit TExportFile(const QString& path) : FSaved(path), FInPlace(path) {}
    ~TExportFile() { Discard(); }
    TExportFile(const TExportFile&) = delete;
    TExportFile& operator=(const TExportFile&) = delete;

    // False when the file cannot be written; ErrorString() says why.
    bool Open() {
        const QFileInfo target(FInPlace.fileName());
        if (target.exists() && !target.isFile() && !target.isDir()) {
            // A device or a pipe cannot be replaced, only written.
            FDirect = true;
            return FInPlace.open(QIODevice::WriteOnly);
        }
        if (FSaved.open(QIODevice::WriteOnly)) return true;
        if (!target.isFile() || !target.isWritable()) return false;
        FDirect = true;
        return true;
    }

    QString ErrorString() const { return FDirect ? FInPlace.errorString() : FSaved.errorString(); }

    void Write(const QByteArray& bytes) {
        QFileDevice& file = Device();
        if (!WriteAll(file, bytes)) throw Exception(file.errorString());
    }

    void Commit() {
        QFileDevice& file = Device();
        // Flushed here, the system's own message is still at hand; closing
        // the file would put "Unknown error" in its place.
        if (!file.flush()) throw Exception(file.errorString());
        if (FDirect) {
            FInPlace.close();
            if (FInPlace.error() != QFileDevice::NoError) throw Exception(FInPlace.errorString());
        } else if (!FSaved.commit()) {
            throw Exception(FSaved.errorString());
        }
        FCommitted = true;
    }

private:
    QFileDevice& Device() {
        if (!FDirect) return FSaved;
        if (!FInPlace.isOpen() && !FInPlace.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw Exception(FInPlace.errorString());
        return FInPlace;
    }

    // A file written in place and cut short must not look complete: it is
    // removed, or emptied where the folder keeps it. (The temporary file of
    // the other way goes with its owner.)
    void Discard() {
        if (FCommitted || !FDirect || !FInPlace.isOpen()) return;
        FInPlace.close();
        if (QFileInfo(FInPlace.fileName()).isFile() && !FInPlace.remove()) FInPlace.resize(0);
    }

    QSaveFile FSaved;
    QFile FInPlace;
    bool FDirect = false;
    bool FCommitted = false;
};

class TExportWriter {
public:
    TExportWriter(TExportFile& file, const TExportTxtOpts& opts, const QList<TColumn>& columns)
        : FFile(file), FOpts(opts), FColumns(columns), FSeparator(opts.Separator.left(1)),
          FByteSeparator(
              FSeparator.size() == 1 && FSeparator[0].unicode() < 0x80 ? char(FSeparator[0].unicode()) : 0) {
        FBlock.resize(BlockSize + 4096);
        for (const TColumn& c : columns)
            FFormatters.push_back(c.Field ? std::make_unique<TFieldFormatter>(c.Field) : nullptr);
    }

    // Writes one line with CR LF, in Windows-1251, converted to the export's
    // code page unless told otherwise.
    void WriteLine(const QString& line, bool convert = true) {
        FHighSurrogate = false;
        AppendBytes(line, false, convert);
        EndLine();
    }

    void Flush() {
        if (FUsed == 0) return;
        FFile.Write(QByteArray::fromRawData(FBlock.constData(), FUsed));
        FUsed = 0;
    }

    // Appends a cell's text, escaped, padded to its column's width when the
    // widths are fixed, quoted, and the separator unless it is the last.
    void AppendCell(QString& line, const QString& text, int column) {
        const TColumn& c = FColumns[column];
        line += FOpts.Quote;
        if (FOpts.FixedWidths && c.Width > 0) {
            FPadded.resize(0);
            AppendEscaped(FPadded, text);
            switch (c.Field->Alignment()) {
            case TAlignment::taRightJustify:
                PadLeft(FPadded, c.Width);
                break;
            case TAlignment::taCenter:
                PadCenter(FPadded, c.Width);
                break;
            case TAlignment::taLeftJustify:
                PadRight(FPadded, c.Width);
                break;
            }
            line += FPadded;
        } else {
            AppendEscaped(line, text);
        }
        line += FOpts.Quote;
        if (!FSeparator.isEmpty() && column != FColumns.size() - 1) line += FSeparator;
    }

    QString RuleLine() const {
        const int n = int(FColumns.size());
        int width = qMin(10 * n, 80);
        if (FOpts.FixedWidths) {
            int sum = 0;
            for (const TColumn& c : FColumns)
                if (c.Field) sum += c.Width;
            if (sum > 0) width = FSeparator.isEmpty() ? sum : sum + n - 1;
        }
        return QString(qMax(width, 0), QLatin1Char('-'));
    }

    QString TitlesLine() {
        QString line;
        for (int i = 0; i < FColumns.size(); ++i) {
            const TField* field = FColumns[i].Field;
            if (!field) continue;
            QString title = TrimBlank(field->DisplayName());
            if (title.isEmpty()) title = field->FieldName();
            AppendCell(line, title, i);
        }
        return line;
    }

    // The current record's line; the buffers are reused from row to row.
    const QString& RecordLine() {
        FLine.resize(0);
        for (int i = 0; i < FColumns.size(); ++i) {
            if (!FColumns[i].Field) continue;
            FCell.resize(0);
            FFormatters[size_t(i)]->Append(FCell);
            AppendCell(FLine, FCell, i);
        }
        return FLine;
    }

    // Writes the current record. Without fixed widths every cell goes from
    // its text straight into the block, escaped and converted on the way:
    // the same bytes as its line would give.
    void WriteRecord() {
        if (FOpts.FixedWidths) {
            WriteLine(RecordLine());
            return;
        }
        FHighSurrogate = false;
        for (int i = 0; i < FColumns.size(); ++i) {
            if (!FColumns[i].Field) continue;
            FCell.resize(0);
            FFormatters[size_t(i)]->Append(FCell);
            AppendBytes(FOpts.Quote, false);
            AppendBytes(FCell, true);
            AppendBytes(FOpts.Quote, false);
            if (i == FColumns.size() - 1) continue;
            if (FByteSeparator) {
                *Reserve(1) = FByteSeparator;
                ++FUsed;
            } else {
                AppendBytes(FSeparator, false);
            }
        }
        EndLine();
    }

    QString FooterLine(const QStringList& footer) {
        QString line;
        for (int i = 0; i < FColumns.size(); ++i)
            if (FColumns[i].Field) AppendCell(line, footer.value(i), i);
        return line;
    }

private:
    // Room for n more bytes at the end of the block.
    char* Reserve(qsizetype n) {
        if (FUsed + n > FBlock.size()) FBlock.resize(FUsed + n + 4096);
        return FBlock.data() + FUsed;
    }

    void EndLine() {
        char* out = Reserve(2);
        out[0] = '\r';
        out[1] = '\n';
        FUsed += 2;
        if (FUsed >= BlockSize) Flush();
    }

    // Appends a piece of a line in the file's bytes: Windows-1251, the
    // letters of the export's code page where converted, and tabs, line
    // breaks and backslashes as two-character escapes where escaped, so that
    // no cell can break a line or a column.
    void AppendBytes(const QString& text, bool escape, bool convert = true) {
        const qsizetype size = text.size();
        if (size == 0) return;
        char* out = Reserve(2 * size);
        char* const begin = out;
        const char16_t* in = reinterpret_cast<const char16_t*>(text.constData());
        const quint8 codePage = convert ? FOpts.CodePage : 0;
        qsizetype i = 0;
        // A character beyond the 16-bit plane is one "?", also where its two
        // halves fall on the two sides of a piece.
        if (FHighSurrogate && QChar::isLowSurrogate(in[0])) ++i;
        for (; i < size; ++i) {
            const char16_t u = in[i];
            if (u >= 0x20 && u < 0x80 && u != u'\\') {
                *out++ = char(u);
                continue;
            }
            if (u < 0x80) {
                const char twin = escape ? EscapeTwin(u) : 0;
                if (twin) *out++ = '\\';
                *out++ = twin ? twin : char(u);
                continue;
            }
            quint8 b = Win1251Byte(u);
            if (b == 0) {
                if (QChar::isHighSurrogate(u) && i + 1 < size && QChar::isLowSurrogate(in[i + 1])) ++i;
                b = '?';
            }
            *out++ = char(ConvertCodePageByte(b, codePage));
        }
        FHighSurrogate = QChar::isHighSurrogate(in[size - 1]);
        FUsed += out - begin;
    }

    TExportFile& FFile;
    const TExportTxtOpts& FOpts;
    const QList<TColumn>& FColumns;
    const QString FSeparator;
    QByteArray FBlock; // the bytes not yet written are its first FUsed
    qsizetype FUsed = 0;
    QString FLine, FCell, FPadded;
    // An ASCII separator (a tab, mostly) is its own byte in every code page.
    const char FByteSeparator;
    bool FHighSurrogate = false; // the record's last piece ended in a lone high surrogate
    std::vector<std::unique_ptr<TFieldFormatter>> FFormatters; // one a column, made once
};

// Writes everything but the file's commit; false when the user cancelled.
bool WriteExport(TExportWriter& writer, TDataSet* dataSet, const TExportTxtOpts& opts,
                 const QStringList* headerLines, const QStringList* trailerLines, const QString& title) {
    if (title.startsWith(QLatin1Char('[')) && title.endsWith(QLatin1Char(']'))) {
        writer.WriteLine(title);
    } else if (opts.WithHeader) {
        const bool withLines = headerLines && !headerLines->isEmpty();
        writer.WriteLine(title);
        writer.WriteLine(withLines ? QString(title.size(), QLatin1Char('=')) : QString());
        if (withLines)
            for (const QString& line : *headerLines)
                writer.WriteLine(line);
    }

    const QString rule = writer.RuleLine();
    if (opts.WithHeader || opts.WithTitles) {
        if (opts.WithHeader) writer.WriteLine(rule);
        writer.WriteLine(writer.TitlesLine());
        if (opts.WithHeader) writer.WriteLine(rule);
    }

    TWalkProgress progress(dataSet, QStringLiteral("Запис в текстов файл"),
                           QStringLiteral("Записани редове"));
    dataSet->First();
    while (!dataSet->Eof()) {
        writer.WriteRecord();
        dataSet->Next();
        if (!progress.Step()) return false;
    }

    if (opts.WithHeader) {
        writer.WriteLine(rule);
        if (opts.Footer) {
            writer.WriteLine(writer.FooterLine(*opts.Footer));
            writer.WriteLine(rule);
            if (trailerLines && !trailerLines->isEmpty()) {
                writer.WriteLine(QString());
                for (const QString& line : *trailerLines)
                    writer.WriteLine(line, false);
            }
        }
    }
    return true;
}

void Export(TDataSet* dataSet, const QList<TColumn>& columns, const QStringList* headerLines,
            const QStringList* trailerLines, QString title, const QString& fileName, QString& status) {
    status = NotExported;
    if (title.isEmpty()) title = dataSet->Name();
    QString path = fileName;
    if (path.isEmpty() && !ChooseFile(title, path)) return;

    TExportFile file(path);
    if (!file.Open()) {
        status = QStringLiteral("Impossible Writing To File \"") + path +
                 QStringLiteral("\".\rCheck If it is Open(") + file.ErrorString() + QLatin1Char(')');
        ShowMsg(status, QStringLiteral("Грешка"), MB_ICONSTOP);
        return;
    }

    const TExportTxtOpts opts = ExportTxtOpts;
    QList<TField*> fields;
    for (const TColumn& c : columns)
        if (c.Field) fields << c.Field;
    // The walk reads the exported columns only; it ends after any message
    // of its failure, with the record the user was on found again.
    std::optional<TWalkGuard> walk;
    try {
        walk.emplace(dataSet, fields, TWalkGuard::TRestore::ControlsFirst);
        TExportWriter writer(file, opts, columns);
        if (WriteExport(writer, dataSet, opts, headerLines, trailerLines, title)) {
            writer.Flush();
            file.Commit();
            ExportTxtOpts.Footer = nullptr;
            status.clear();
        }
    } catch (const EStatementCancelled&) {
        // As the progress's Cancel: nothing written, nothing to report.
    } catch (const Exception& error) {
        status += QStringLiteral("\r(") + error.Message() + QLatin1Char(')');
        ShowMsg(status, QStringLiteral("Export Error"), MB_ICONSTOP);
    } catch (const std::exception& error) {
        status += QStringLiteral("\r(") + QString::fromLocal8Bit(error.what()) + QLatin1Char(')');
        ShowMsg(status, QStringLiteral("Export Error"), MB_ICONSTOP);
    }
}

} // namespace

// Appended straight to the line: most cells have nothing to escape and need
// no string of their own.
void AppendEscaped(QString& out, const QString& text) {
    const qsizetype size = text.size();
    const QChar* chars = text.constData();
    qsizetype i = 0;
    while (i < size && !EscapeTwin(chars[i].unicode()))
        ++i;
    out.append(chars, i);
    for (; i < size; ++i) {
        if (const char twin = EscapeTwin(chars[i].unicode())) {
            out += QLatin1Char('\\');
            out += QLatin1Char(twin);
        } else {
            out += chars[i];
        }
    }
}

void ExportToTextFile(const TExportGrid* grid, const QStringList* headerLines,
                      const QStringList* trailerLines, const QString& title, const QString& fileName,
                      QString& status) {
    status = NotExported;
    TDataSet* dataSet = grid ? grid->ExportDataSet() : nullptr;
    if (!dataSet) return;
    QList<TColumn> columns;
    const int count = grid->ExportColumnCount();
    columns.reserve(count);
    for (int i = 0; i < count; ++i) {
        TField* field = grid->ExportColumnField(i);
        columns.append({field, field ? (grid->ExportColumnWidth(i) + 7) / 8 : 0});
    }
    Export(dataSet, columns, headerLines, trailerLines, title, fileName, status);
}

void ExportToTextFile(TDataSet* dataSet, const QStringList* headerLines, const QStringList* trailerLines,
                      const QString& title, const QString& fileName, QString& status) {
    status = NotExported;
    if (!dataSet) return;
    QList<TColumn> columns;
    const int count = dataSet->FieldCount();
    columns.reserve(count);
    for (int i = 0; i < count; ++i) {
        TField* field = dataSet->Fields(i);
        columns.append({field, field ? field->DisplayWidth() : 0});
    }
    Export(dataSet, columns, headerLines, trailerLines, title, fileName, status);
}
