#pragma once

#include "Exceptions.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// A settings file that cannot be read for a write, or cannot be written, or a name or value that a
// profile line cannot hold. The message names the file and the reason.
class EIniFileError : public Exception {
    using Exception::Exception;
};

// A profile (INI) file of settings, read once when the object is made. Section and key names compare
// without letter case; blanks around names and values are dropped, and a value wholly enclosed in one
// pair of matching quotes (single or double) loses them. A key present with an empty value reads as
// empty; of two equal keys in a section the first counts; a section whose header appears twice is one
// section.
//
// Every write goes to the file at once: the file is read again, changed in memory and saved through a
// temporary file beside it that is renamed over it, so the user's file is never half-written and every
// other line (comments, blank lines, order, line ends, bytes that are not valid UTF-8) stays as it is.
// A write that would change nothing leaves the file untouched. A write that fails throws
// EIniFileError and leaves the file as it was; so does a write to a file that exists but could not be
// read, which would otherwise replace the user's file. A missing file reads as empty and is created by
// the first write (its folder must exist). A file larger than MaxFileSize is not read: it reads as
// empty and is never written, so the user's file is kept as it is.
//
// One short-lived object per operation is the intended use; the object is not shared between threads.
class TIniFile {
public:
    // A settings file holds a few dozen short lines: a few KiB, a few hundred with every path long. A
    // file a thousand times that is no settings file; reading it would cost the program its start,
    // since every operation reads the whole file again.
    static constexpr qint64 MaxFileSize = qint64(8) << 20;

    explicit TIniFile(QString fileName);

    const QString& FileName() const { return Path; }
    // Why the file exists but was not read (it then reads as empty and every write is refused); empty
    // when it was read or is missing.
    const QString& ReadError() const { return Cache->LoadError; }

    // True when the file has a header of that name, with or without keys.
    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    // A value that is not an integer as TextToInt reads it (decimal, or hexadecimal after "$" or "0x")
    // reads as the default.
    int32_t ReadInteger(const QString& section, const QString& key, int32_t defaultValue) const;
    // Read as an integer, non-zero being true; a value that is not an integer reads as the default.
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;
    // The key names of the section in file order, each once.
    QStringList ReadSection(const QString& section) const;
    // "Name=Value" for each key of the section in file order, the value as ReadString gives it.
    QStringList ReadSectionValues(const QString& section) const;

    // A value with blanks at either end, or one wholly enclosed in matching quotes, is written inside an
    // extra pair of double quotes, so it reads back exactly. Line breaks cannot be stored: EIniFileError.
    void WriteString(const QString& section, const QString& key, const QString& value);
    // Decimal.
    void WriteInteger(const QString& section, const QString& key, int32_t value);
    // "1" or "0".
    void WriteBool(const QString& section, const QString& key, bool value);
    // Removes every header of the section with all of its lines.
    void EraseSection(const QString& section);
    // Removes every line of the key in the section.
    void DeleteKey(const QString& section, const QString& key);

private:
    enum class LineKind { Empty, Comment, Header, Entry, Other };
    struct Line {
        LineKind Kind = LineKind::Empty;
        QString Name;  // section name of a header, key name of an entry
        QString Value; // an entry's value as it reads
    };
    // The index holds byte offsets into the file's text and no names: a file of many short sections
    // costs a few dozen bytes per line beside its text. Offsets fit 32 bits, the file being bounded.
    static constexpr uint32_t None = UINT32_MAX;
    // The first line of a key in its section (without line end), and the next key of the section.
    struct KeyLine {
        uint32_t Begin = 0;
        uint32_t End = 0;
        uint32_t Section = 0;
        uint32_t Next = None;
        uint32_t Hash = 0; // of the case-folded key name
    };
    // Every header of one name together. Reads and writes find a key through hash tables rather than
    // by walking the file, so each costs the same in a file of any length.
    struct Section {
        uint32_t HeaderBegin = 0; // the first header's line
        uint32_t HeaderEnd = 0;
        uint32_t InsertAt = 0; // after the line end of the first header's last content line
        uint32_t FirstKey = None;
        uint32_t LastKey = None;
        uint32_t Hash = 0;                // of the case-folded section name
        bool InsertAfterLastLine = false; // that line is the file's last and has no line end
    };
    struct Content {
        bool Utf8Bom = false;
        QByteArray Text; // the file without its byte order mark
        QByteArray Eol;  // the file's first line end; empty when it has none
        bool LastLineHasText = false;
        std::vector<Section> Sections;
        std::vector<KeyLine> Keys;
        // Open-addressing tables of index + 1 (0 is a free slot), a power of two long.
        std::vector<uint32_t> SectionSlots;
        std::vector<uint32_t> KeySlots;
        QString LoadError; // why an existing file could not be read; empty when it was read or is missing
    };
    // A section or key name as the index compares it.
    struct Name;
    // The kind of the line and, for a header or an entry, its name.
    static LineKind IndexLine(QByteArrayView raw, Name& name);
    static Name QueryName(const QString& name);
    static bool SameIndexName(const Name& a, const Name& b);

    // The file's content. A large file unchanged on disk since this process last read or wrote it is
    // not read and indexed again.
    static std::shared_ptr<const Content> Load(const QString& path);
    static std::shared_ptr<const Content> ReadAndParse(QFile& file);
    static void Remember(const QString& path, const std::shared_ptr<const Content>& content);
    static Content Parse(QByteArray text, bool utf8Bom);
    static Line ParseLine(QByteArrayView raw);
    static uint32_t FindSectionIndex(const Content& content, const Name& name);
    static uint32_t FindKeyIndex(const Content& content, uint32_t section, const Name& name);
    static const Section* FindSection(const Content& content, const QString& section);
    // The first line of the key in the section, or null.
    static const KeyLine* FindEntry(const Content& content, const QString& section, const QString& key);
    // The text with the change made, or nothing when the change would leave the text as it is.
    // A write gives the new content with its index: the index before it, its offsets past the change
    // moved and the new key or section added, which costs a pass over the index and no parse.
    static std::optional<Content> ApplyWrite(const Content& content, const QString& section,
                                             const QString& key, const QString& value);
    // Moves every offset at or past from by delta; a line's end only when it lies past from.
    static void ShiftOffsets(Content& content, qsizetype from, qsizetype delta);
    static void AddKey(Content& content, uint32_t section, qsizetype begin, qsizetype end, uint32_t hash);
    static std::optional<QByteArray> ApplyErase(const Content& content, const QString& section);
    static std::optional<QByteArray> ApplyDelete(const Content& content, const QString& section,
                                                 const QString& key);

    // The content of a text changed by removing lines, indexed anew.
    static std::optional<Content> Reparsed(const Content& content, std::optional<QByteArray> text);
    template <typename Change> void Modify(Change change);
    void Save(const Content& content, const QByteArray& text) const;

    QString Path;
    std::shared_ptr<const Content> Cache;
};
