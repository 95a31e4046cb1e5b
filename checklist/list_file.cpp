// A list file read whole: its format told by its content (and its name), and
// its lines turned into entries or into the problems the check shows.
#include "checklist/checklist.h"
#include "list_table.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr utf16 SFV_KIND = u'R';

// What the list's name tells the parse of its lines.
struct ListName {
    const KindInfo *kind;  // the algorithm it names, or null
    const utf16 *sidecar;  // the file a digest alone names (no folder), or null
    size_t sidecar_units;
};

ListName ReadListName(const utf16 *list_path)
{
    ListName name = {};
    if (!list_path)
        return name;
    name.kind = KindOfListName(list_path);
    const utf16 *file = FileNameOf(list_path);
    size_t stem = StemUnits(file);
    if (stem > 0 && stem < TextUnits(file)) {
        name.sidecar = file;
        name.sidecar_units = stem;
    }
    return name;
}

// Appends the entry a line gave, its hex stored upper-case.
int TakeEntry(ParsedList *list, const KindInfo *kind, KindMask candidates, const utf16 *hex,
              size_t hex_units, const utf16 *path, size_t path_units)
{
    utf16 digest[DIGEST_TEXT_CAPACITY];
    for (size_t i = 0; i < hex_units; ++i)
        digest[i] = UpperAscii(hex[i]);
    if (AppendRecord(list, utf16(kind->letter), digest, hex_units, path, path_units) !=
            CHECKLIST_OK ||
        RecordCandidates(list, candidates) != CHECKLIST_OK)
        return CHECKLIST_ERR_MEMORY;
    return KeepRoomForRecords(list);
}

int TakeTaggedLine(LineBuffer *line, int32_t number, ParsedList *list, ListProblems *problems)
{
    ListLine fields = {};
    int problem = SplitTaggedLine(line->units, line->count, &fields);
    utf16 *path = line->units + fields.path_start;
    if (problem != LIST_LINE_MALFORMED && fields.escaped) {
        bool valid = true;
        fields.path_units = UnescapeGnuName(path, fields.path_units, &valid);
        if (!valid)
            problem = LIST_LINE_MALFORMED;
    }
    if (problem == 0 && !line->valid)
        problem = LIST_LINE_INVALID_TEXT;
    if (problem == LIST_LINE_MALFORMED)
        return AddProblem(problems, number, problem, line->units, line->count);
    if (problem != 0)
        return AddProblem(problems, number, problem, path, fields.path_units);
    return TakeEntry(list, fields.kind, KindBit(fields.kind), line->units + fields.hex_start,
                     fields.hex_units, path, fields.path_units);
}

// The kinds a digest of `digits` hex digits may be: the one the list's name
// gives, or every kind of that length.
KindMask CandidatesOf(const ListName *name, size_t digits)
{
    if (name->kind)
        return size_t(name->kind->digest_digits) == digits ? KindBit(name->kind) : 0;
    return KindsOfDigestDigits(digits);
}

int TakeGnuLine(LineBuffer *line, int32_t number, const ListName *name, ParsedList *list,
                ListProblems *problems)
{
    ListLine fields = {};
    utf16 *u = line->units;
    bool valid = SplitGnuLine(u, line->count, &fields) == 0;
    if (valid && fields.escaped)
        fields.path_units = UnescapeGnuName(u + fields.path_start, fields.path_units, &valid);
    bool sidecar = fields.path_units == 0;
    if (!valid || (sidecar && !name->sidecar))
        return AddProblem(problems, number, LIST_LINE_MALFORMED, u, line->count);
    const utf16 *path = sidecar ? name->sidecar : u + fields.path_start;
    size_t path_units = sidecar ? name->sidecar_units : fields.path_units;
    if (!line->valid)
        return AddProblem(problems, number, LIST_LINE_INVALID_TEXT, path, path_units);
    KindMask candidates = CandidatesOf(name, fields.hex_units);
    if (candidates == 0)
        return AddProblem(problems, number, LIST_LINE_DIGEST_LENGTH, path, path_units);
    return TakeEntry(list, LikeliestKind(candidates), candidates, u + fields.hex_start,
                     fields.hex_units, path, path_units);
}

int TakeSfvLine(LineBuffer *line, int32_t number, ParsedList *list, ListProblems *problems)
{
    ListLine fields = {};
    if (SplitSfvLine(line->units, line->count, &fields) != 0)
        return AddProblem(problems, number, LIST_LINE_MALFORMED, line->units, line->count);
    const utf16 *path = line->units + fields.path_start;
    const KindInfo *crc = FindKind(SFV_KIND);
    int problem = !line->valid                                     ? LIST_LINE_INVALID_TEXT
                  : fields.hex_units != size_t(crc->digest_digits) ? LIST_LINE_DIGEST_LENGTH
                                                                   : 0;
    if (problem != 0)
        return AddProblem(problems, number, problem, path, fields.path_units);
    return TakeEntry(list, crc, KindBit(crc), line->units + fields.hex_start, fields.hex_units,
                     path, fields.path_units);
}

int ParseTextList(const uint8_t *bytes, size_t size, int format, const ListName *name,
                  ParsedList *list, ListProblems *problems)
{
    LineReader reader;
    StartLineReader(bytes, size, &reader);
    int result = CHECKLIST_OK;
    bool memory = true;
    while (result == CHECKLIST_OK && ReadNextLine(&reader, &memory)) {
        LineBuffer *line = &reader.line;
        if (IsSkippedLine(line, format))
            continue;
        if (format == LIST_FORMAT_GNU)
            result = TakeGnuLine(line, reader.number, name, list, problems);
        else if (format == LIST_FORMAT_SFV)
            result = TakeSfvLine(line, reader.number, list, problems);
        else
            result = TakeTaggedLine(line, reader.number, list, problems);
    }
    ReleaseLineReader(&reader);
    return memory ? result : CHECKLIST_ERR_MEMORY;
}

// .qcx lists are parsed from an aligned copy of their units, byte order mark
// included, exactly as the check has always read them.
int ParseQcxList(const uint8_t *bytes, size_t size, ParsedList *list)
{
    size_t units = size / sizeof(utf16);
    utf16 *text = static_cast<utf16 *>(std::malloc(units * sizeof(utf16) + 1));
    if (!text)
        return CHECKLIST_ERR_MEMORY;
    std::memcpy(text, bytes, units * sizeof(utf16));
    int result = ParseChecksumList(text, units, list);
    std::free(text);
    return result;
}

// The first line of a UTF-16 text (after its byte order mark) that is not
// empty has a tab as second unit, or there is no such line.
bool StartsLikeQcx(const uint8_t *bytes, size_t size)
{
    size_t at = 2;
    while (at + 1 < size && bytes[at + 1] == 0 && (bytes[at] == '\r' || bytes[at] == '\n'))
        at += 2;
    if (at + 1 >= size)
        return true;
    return at + 3 < size && bytes[at + 2] == '\t' && bytes[at + 3] == 0;
}

bool IsTextList(const uint8_t *bytes, size_t size)
{
    if (StartsWithUtf16Mark(bytes, size))
        return !StartsLikeQcx(bytes, size);
    // A single byte holds no UTF-16 unit: it can only be a (short) text line.
    return StartsWithUtf8Mark(bytes, size) || size == 1 || (size >= 2 && bytes[1] != 0);
}

// The format of a text list's first line that has the shape of one: a
// heading some tools write above their lines decides nothing. Tagged for a
// list without one, or when no memory could be had to tell.
int FormatOfFirstShapedLine(const uint8_t *bytes, size_t size)
{
    LineReader reader;
    StartLineReader(bytes, size, &reader);
    int format = 0;
    bool memory = true;
    while (format == 0 && ReadNextLine(&reader, &memory))
        if (!IsSkippedLine(&reader.line, LIST_FORMAT_TAGGED))
            format = TextFormatOfLine(reader.line.units, reader.line.count);
    ReleaseLineReader(&reader);
    return format ? format : LIST_FORMAT_TAGGED;
}

bool NamesSfv(const utf16 *list_path)
{
    return list_path && ListFormatOfName(list_path) == LIST_FORMAT_SFV;
}

}  // namespace

int DetectListFormat(const uint8_t *bytes, size_t size)
{
    return IsTextList(bytes, size) ? FormatOfFirstShapedLine(bytes, size) : LIST_FORMAT_QCX;
}

int ParseNamedListFile(const uint8_t *bytes, size_t size, const utf16 *list_path, ParsedList *list,
                       ListProblems *problems)
{
    if (!IsTextList(bytes, size)) {
        list->format = LIST_FORMAT_QCX;
        return ParseQcxList(bytes, size, list);
    }
    list->format = NamesSfv(list_path) ? LIST_FORMAT_SFV : FormatOfFirstShapedLine(bytes, size);
    if (KeepRoomForRecords(list) != CHECKLIST_OK)
        return CHECKLIST_ERR_MEMORY;
    ListName name = ReadListName(list_path);
    return ParseTextList(bytes, size, list->format, &name, list, problems);
}

int ParseListFile(const uint8_t *bytes, size_t size, ParsedList *list, ListProblems *problems)
{
    return ParseNamedListFile(bytes, size, nullptr, list, problems);
}
