#include "jet_reader.h"

#include "store_error.h"

#if SOMNARA_HAVE_JET
#include "mdb_include.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <string_view>
#include <system_error>
#include <unordered_set>
#include <vector>
#endif

namespace somnara {

namespace {

std::string quoted(const std::string &displayName)
{
    return "“" + displayName + "”";
}

} // namespace

#if SOMNARA_HAVE_JET

namespace {

// Jet 4 and every later (ACE) format use pages of this size; Jet 3 used 2048.
constexpr uint64_t kPageSize = 4096;
// Row slots carry their offset in the low 13 bits and two flags above it. libmdb 1.0 reads
// the two flags the wrong way round (it keeps deleted rows and drops moved ones), so the
// rows are walked here rather than through mdb_fetch_row.
constexpr unsigned kOffsetMask = 0x1fff;
constexpr unsigned kDeletedRow = 0x8000;
constexpr unsigned kMovedRow = 0x4000;
// A memo or OLE field in the row is a 12-byte reference to its data.
constexpr size_t kLongValueHeader = 12;

// Anything in the file that does not hold together. Told to the user as a damaged file.
struct Damaged
{
};

// SQLite failing to build the copy (out of memory, most likely), with its own words.
struct CopyFailed
{
    std::string reason;
};

[[noreturn]] void damaged()
{
    throw Damaged{};
}

uint16_t le16(const unsigned char *p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t le32(const unsigned char *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8
        | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint64_t le64(const unsigned char *p)
{
    return static_cast<uint64_t>(le32(p)) | static_cast<uint64_t>(le32(p + 4)) << 32;
}

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string sqlName(std::string_view name)
{
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

// --- Text ---------------------------------------------------------------------------------

char *putUtf8(char *out, uint32_t cp)
{
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | cp >> 6);
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | cp >> 12);
        *out++ = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | cp >> 18);
        *out++ = static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

// Jet 4 keeps text as UTF-16LE, or, after an FF FE mark, in its "Unicode compression": one
// byte per character for U+0001..U+00FF, a zero byte switching between bytes and pairs.
// Decoded here rather than by libmdb, whose conversion cuts text at its bind size, follows
// the MDBICONV variable and turns characters outside the BMP into "??". Broken sequences
// become U+FFFD.
class TextDecoder
{
public:
    // No input byte yields more than three bytes of UTF-8.
    TextDecoder(std::string &out, size_t inputSize) : m_out(out)
    {
        m_out.resize(3 * inputSize);
        m_next = m_out.data();
    }
    ~TextDecoder() { m_out.resize(static_cast<size_t>(m_next - m_out.data())); }
    TextDecoder(const TextDecoder &) = delete;
    TextDecoder &operator=(const TextDecoder &) = delete;

    void decode(const unsigned char *p, size_t n)
    {
        size_t i = 0;
        if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
            bool single = true;
            for (i = 2; i < n;) {
                if (p[i] == 0) {
                    single = !single;
                    ++i;
                } else if (single) {
                    unit(p[i]);
                    ++i;
                } else if (i + 1 < n) {
                    unit(le16(p + i));
                    i += 2;
                } else {
                    unit(0xFFFD);
                    ++i;
                }
            }
        } else {
            for (; i + 1 < n; i += 2)
                unit(le16(p + i));
            if (i < n)
                unit(0xFFFD);
        }
        if (m_high)
            m_next = putUtf8(m_next, 0xFFFD);
        m_high = 0;
    }

private:
    void unit(uint32_t u)
    {
        if (m_high) {
            if (u >= 0xDC00 && u <= 0xDFFF) {
                m_next = putUtf8(m_next, 0x10000 + ((m_high - 0xD800) << 10) + (u - 0xDC00));
                m_high = 0;
                return;
            }
            m_next = putUtf8(m_next, 0xFFFD);
            m_high = 0;
        }
        if (u >= 0xD800 && u <= 0xDBFF)
            m_high = u;
        else if (u >= 0xDC00 && u <= 0xDFFF)
            m_next = putUtf8(m_next, 0xFFFD);
        else
            m_next = putUtf8(m_next, u);
    }

    std::string &m_out;
    char *m_next;
    uint32_t m_high = 0;
};

void decodeText(const unsigned char *p, size_t n, std::string &out)
{
    TextDecoder(out, n).decode(p, n);
}

// --- Other values --------------------------------------------------------------------------

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(int64_t z, int64_t &year, unsigned &month, unsigned &day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

// An Access date is days since 1899-12-30, the fraction (always counted forward, even for
// dates before 1899) the time of day. Empty when outside what Access itself accepts.
std::string dateText(double value)
{
    if (!std::isfinite(value) || value < -657434.0 || value >= 2958466.0)
        return {};
    const double whole = std::trunc(value);
    auto day = static_cast<int64_t>(whole);
    auto seconds = static_cast<int64_t>(std::llround(std::fabs(value - whole) * 86400.0));
    if (seconds >= 86400) {
        seconds -= 86400;
        ++day;
    }
    int64_t year = 0;
    unsigned month = 0;
    unsigned dayOfMonth = 0;
    civilFromDays(day - 25569, year, month, dayOfMonth);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld:%02lld",
                  static_cast<long long>(year), month, dayOfMonth,
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

std::string guidText(const unsigned char *p)
{
    char text[40];
    std::snprintf(text, sizeof text,
                  "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", le32(p), le16(p + 4),
                  le16(p + 6), p[8], p[9], p[10], p[11], p[12], p[13], p[14], p[15]);
    return text;
}

// --- libmdb objects -----------------------------------------------------------------------

struct HandleCloser
{
    void operator()(MdbHandle *mdb) const { mdb_close(mdb); }
};
using Handle = std::unique_ptr<MdbHandle, HandleCloser>;

struct TableFreer
{
    void operator()(MdbTableDef *table) const { mdb_free_tabledef(table); }
};
using Table = std::unique_ptr<MdbTableDef, TableFreer>;

struct GFreer
{
    void operator()(char *text) const { g_free(text); }
};
using GText = std::unique_ptr<char, GFreer>;

// --- The file before libmdb sees it --------------------------------------------------------

// Checks what libmdb takes on trust: the header, the version, and that the file is whole
// pages. Returns the number of pages.
uint64_t checkFile(const std::string &path, const std::string &displayName)
{
    const auto fsPath = std::filesystem::u8path(path);
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(fsPath, ec);
    std::ifstream file(fsPath, std::ios::binary);
    if (ec || !file)
        throw StoreError("无法读取 Access 数据库" + quoted(displayName) + "，请检查文件是否存在及其权限");

    std::array<unsigned char, 0x20> head{};
    file.read(reinterpret_cast<char *>(head.data()), head.size());
    if (static_cast<size_t>(file.gcount()) < head.size())
        damaged();

    static constexpr char jetMagic[] = "Standard Jet DB";
    static constexpr char aceMagic[] = "Standard ACE DB";
    const bool magic = head[0] == 0 && head[1] == 1 && head[2] == 0 && head[3] == 0
        && (std::memcmp(head.data() + 4, jetMagic, sizeof jetMagic) == 0
            || std::memcmp(head.data() + 4, aceMagic, sizeof aceMagic) == 0);
    if (!magic)
        throw StoreError(quoted(displayName) + "不是梦境数据库：它不是 Access 数据库文件");

    const uint32_t version = le32(head.data() + 0x14);
    if (version == MDB_VER_JET3)
        throw StoreError(quoted(displayName)
                         + "是 Access 97 或更早版本的数据库，本程序只能读取 Access 2000 及以后的格式，"
                           "请先在 Access 中把它转换为新格式");
    if (version > MDB_VER_ACCDB_2019)
        damaged();
    if (size < kPageSize || size % kPageSize != 0)
        damaged();
    return size / kPageSize;
}

// libmdb converts table and column names with iconv towards the charset named by MDBICONV;
// whatever that variable says, the names must come back as UTF-8.
void namesInUtf8(MdbHandle *mdb)
{
#if MDBTOOLS_H_HAVE_ICONV_H
    mdb_iconv_close(mdb);
    mdb->iconv_in = iconv_open("UTF-8", "UTF-16LE");
    mdb->iconv_out = iconv_open("UTF-16LE", "UTF-8");
#else
    (void)mdb;
#endif
}

// --- Long values (memo, OLE) ---------------------------------------------------------------

// Reads the data of memo and OLE fields, which lives in rows of "LVAL" pages. libmdb's own
// readers cut memos at its bind size and, on a chain of pages that loops, never return.
class LongValueReader
{
public:
    LongValueReader(MdbHandle *mdb, uint64_t pageCount)
        : m_mdb(mdb), m_pageCount(pageCount), m_page(kPageSize)
    {
    }

    // `field` is the field as stored in the row: the 12-byte reference, then, for a value
    // kept in the row itself, the data.
    void read(const unsigned char *field, size_t size, std::string &out)
    {
        out.clear();
        if (size == 0)
            return; // a zero-length value, not NULL
        if (size < kLongValueHeader)
            damaged();
        // The top two bits tell where the data is, the others its length.
        const uint32_t word = le32(field);
        const uint32_t length = word & 0x3FFFFFFF;
        const uint32_t place = le32(field + 4);
        switch (word & 0xC0000000) {
        case 0x80000000: // in the row
            out.assign(reinterpret_cast<const char *>(field + kLongValueHeader),
                       size - kLongValueHeader);
            break;
        case 0x40000000: { // one row elsewhere
            const auto [data, rowSize] = lvalRow(place);
            if (rowSize < length)
                damaged();
            out.assign(reinterpret_cast<const char *>(data), length);
            break;
        }
        case 0: { // a chain of rows, each naming the next; only as long as the file allows
            std::unordered_set<uint32_t> seen;
            uint32_t next = place;
            while (out.size() < length) {
                if (next == 0 || !seen.insert(next).second)
                    damaged();
                const auto [data, rowSize] = lvalRow(next);
                if (rowSize < 4 || out.size() + (rowSize - 4) > length)
                    damaged();
                next = le32(data);
                out.append(reinterpret_cast<const char *>(data + 4), rowSize - 4);
            }
            break;
        }
        default:
            damaged();
        }
    }

private:
    struct Row
    {
        const unsigned char *data;
        size_t size;
    };

    Row lvalRow(uint32_t place)
    {
        const uint32_t page = place >> 8;
        const unsigned row = place & 0xFF;
        if (page == 0 || page >= m_pageCount)
            damaged();
        const auto pageSize = static_cast<size_t>(m_mdb->fmt->pg_size);
        if (page != m_pageNumber) {
            m_pageNumber = 0;
            if (mdb_read_alt_pg(m_mdb, page) != m_mdb->fmt->pg_size)
                damaged();
            std::memcpy(m_page.data(), m_mdb->alt_pg_buf, pageSize);
            m_pageNumber = page;
        }
        const unsigned char *pg = m_page.data();
        if (pg[0] != MDB_PAGE_DATA || std::memcmp(pg + 4, "LVAL", 4) != 0)
            damaged();
        const size_t rco = m_mdb->fmt->row_count_offset;
        const unsigned rows = le16(pg + rco);
        if (row >= rows || rco + 2 + 2 * size_t(rows) > pageSize)
            damaged();
        const size_t start = le16(pg + rco + 2 + 2 * row) & kOffsetMask;
        const size_t end = row == 0 ? pageSize : le16(pg + rco + 2 * row) & kOffsetMask;
        if (start < rco + 2 + 2 * size_t(rows) || start > end || end > pageSize)
            damaged();
        return {pg + start, end - start};
    }

    MdbHandle *m_mdb;
    uint64_t m_pageCount;
    std::vector<unsigned char> m_page;
    uint32_t m_pageNumber = 0;
};

// --- The table -------------------------------------------------------------------------------

const char *declaredType(int type)
{
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
        return "INTEGER";
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
        return "REAL";
    case MDB_TEXT:
    case MDB_MEMO:
        // Access compares text ignoring letter case; "=" and LIKE must do the same.
        return "TEXT COLLATE NOCASE";
    case MDB_DATETIME:
    case MDB_REPID:
        return "TEXT";
    case MDB_NUMERIC:
        return "NUMERIC";
    default:
        return "BLOB";
    }
}

// The fewest bytes each fixed-size type needs in the row.
size_t fixedSize(int type)
{
    switch (type) {
    case MDB_BYTE:
        return 1;
    case MDB_INT:
        return 2;
    case MDB_LONGINT:
    case MDB_COMPLEX:
    case MDB_FLOAT:
        return 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME:
        return 8;
    case MDB_REPID:
        return 16;
    case MDB_NUMERIC:
        return 17;
    default:
        return 0;
    }
}

// Walks the live rows of a table page by page. libmdb 1.0 reads the two flags of a row slot
// the wrong way round (it keeps deleted rows and drops moved ones), so mdb_fetch_row is not
// used: the slots are read here and only the cracking of a row is left to libmdb.
class RowWalker
{
public:
    RowWalker(MdbHandle *mdb, MdbTableDef *table, uint64_t pageCount)
        : m_mdb(mdb), m_table(table), m_pageCount(pageCount),
          m_pageSize(static_cast<size_t>(mdb->fmt->pg_size)), m_rco(mdb->fmt->row_count_offset),
          m_fields(table->num_cols), m_saved(m_pageSize)
    {
    }

    // Calls visit(fields) for every live row, the row's page in libmdb's page buffer.
    template<class Visit>
    void walk(Visit &&visit)
    {
        checkUsageMap();
        if (mdb_rewind_table(m_table) < 0)
            damaged();
        uint64_t pages = 0;
        uint64_t rows = 0;
        while (mdb_read_next_dpg(m_table)) {
            if (++pages > m_pageCount)
                damaged();
            const unsigned char *pg = m_mdb->pg_buf;
            const unsigned slots = le16(pg + m_rco);
            if (m_rco + 2 + 2 * size_t(slots) > m_pageSize)
                damaged();
            for (unsigned slot = 0; slot < slots; ++slot) {
                const unsigned raw = le16(pg + m_rco + 2 + 2 * slot);
                // Deleted, or the new home of a moved row, which is reached through its old slot.
                if (raw & kDeletedRow)
                    continue;
                size_t start = 0;
                size_t size = 0;
                rowBounds(pg, slot, start, size);
                if (size == 0)
                    continue;
                if (raw & kMovedRow) {
                    std::memcpy(m_saved.data(), pg, m_pageSize);
                    followMovedRow(start, size);
                    crack(start, size);
                    visit(m_fields);
                    std::memcpy(m_mdb->pg_buf, m_saved.data(), m_pageSize);
                } else {
                    crack(start, size);
                    visit(m_fields);
                }
                ++rows;
            }
        }
        // A page that cannot be read ends libmdb's walk early and quietly.
        if (rows < m_table->num_rows)
            damaged();
    }

    // The field's bytes, checked to lie in the page buffer.
    const unsigned char *bytes(const MdbField &field) const
    {
        const auto value = reinterpret_cast<uintptr_t>(field.value);
        const auto pg = reinterpret_cast<uintptr_t>(m_mdb->pg_buf);
        if (field.siz < 0 || value < pg || value - pg + static_cast<size_t>(field.siz) > m_pageSize)
            damaged();
        return static_cast<const unsigned char *>(field.value);
    }

private:
    // The map of the table's pages, which libmdb follows without looking: missing, short or
    // pointing past the file, it reads out of bounds.
    void checkUsageMap() const
    {
        const unsigned char *map = m_table->usage_map;
        const size_t size = m_table->map_sz;
        if (!map || size < 5)
            damaged();
        if (map[0] == 1) { // the numbers of pages that hold the bitmap
            for (size_t at = 1; at + 4 <= size; at += 4) {
                if (le32(map + at) >= m_pageCount)
                    damaged();
            }
        } else if (map[0] != 0) { // 0: the bitmap itself
            damaged();
        }
    }

    void rowBounds(const unsigned char *pg, unsigned slot, size_t &start, size_t &size) const
    {
        start = le16(pg + m_rco + 2 + 2 * slot) & kOffsetMask;
        const size_t end = slot == 0 ? m_pageSize : le16(pg + m_rco + 2 * slot) & kOffsetMask;
        if (start < m_rco + 2 || start > end || end > m_pageSize)
            damaged();
        size = end - start;
    }

    // A moved row's slot holds where the row went: bring that page into the page buffer and
    // find the row there.
    void followMovedRow(size_t &start, size_t &size)
    {
        for (int hop = 0;; ++hop) {
            if (hop == 8 || size < 4)
                damaged();
            const uint32_t place = le32(m_mdb->pg_buf + start);
            const uint32_t page = place >> 8;
            const unsigned slot = place & 0xFF;
            if (page == 0 || page >= m_pageCount
                || mdb_read_alt_pg(m_mdb, page) != m_mdb->fmt->pg_size)
                damaged();
            std::memcpy(m_mdb->pg_buf, m_mdb->alt_pg_buf, m_pageSize);
            const unsigned char *pg = m_mdb->pg_buf;
            if (pg[0] != MDB_PAGE_DATA || le32(pg + 4) != m_table->entry->table_pg)
                damaged();
            const unsigned slots = le16(pg + m_rco);
            if (slot >= slots || m_rco + 2 + 2 * size_t(slots) > m_pageSize)
                damaged();
            rowBounds(pg, slot, start, size);
            if (!(le16(pg + m_rco + 2 + 2 * slot) & kMovedRow))
                return;
        }
    }

    void crack(size_t start, size_t size)
    {
        if (size == 0 || mdb_crack_row(m_table, static_cast<int>(start), size, m_fields.data()) < 0)
            damaged();
        for (const MdbField &field : m_fields) {
            if (field.colnum < 0 || static_cast<guint>(field.colnum) >= m_table->num_cols)
                damaged();
        }
    }

    MdbHandle *m_mdb;
    MdbTableDef *m_table;
    uint64_t m_pageCount;
    size_t m_pageSize;
    size_t m_rco;
    std::vector<MdbField> m_fields;
    std::vector<unsigned char> m_saved;
};

bool readColumns(MdbTableDef *table)
{
    return mdb_read_columns(table) && table->num_cols > 0 && table->columns
        && table->columns->len == table->num_cols;
}

MdbColumn *columnAt(MdbTableDef *table, guint index)
{
    return static_cast<MdbColumn *>(g_ptr_array_index(table->columns, index));
}

int columnIndex(MdbTableDef *table, std::string_view name, int type)
{
    for (guint i = 0; i < table->num_cols; ++i) {
        MdbColumn *col = columnAt(table, i);
        if (col && col->name == name)
            return col->col_type == type ? static_cast<int>(i) : -1;
    }
    return -1;
}

// Looks the table up in MSysObjects, which Jet 4 keeps at page 2. libmdb's mdb_read_catalog
// is not used: it also decodes every object's property blob, and a damaged one keeps it
// busy without end.
bool findTable(MdbHandle *mdb, uint64_t pageCount, std::string_view name, MdbCatalogEntry &found)
{
    MdbCatalogEntry objects{};
    objects.mdb = mdb;
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2;
    std::snprintf(objects.object_name, sizeof objects.object_name, "%s", "MSysObjects");

    Table table(mdb_read_table(&objects));
    if (!table || !readColumns(table.get()))
        damaged();
    const int idColumn = columnIndex(table.get(), "Id", MDB_LONGINT);
    const int nameColumn = columnIndex(table.get(), "Name", MDB_TEXT);
    const int typeColumn = columnIndex(table.get(), "Type", MDB_INT);
    if (idColumn < 0 || nameColumn < 0 || typeColumn < 0)
        damaged();

    RowWalker walker(mdb, table.get(), pageCount);
    std::string objectName;
    bool exact = false;
    uint32_t page = 0;
    walker.walk([&](const std::vector<MdbField> &fields) {
        const MdbField *id = nullptr;
        const MdbField *text = nullptr;
        const MdbField *type = nullptr;
        for (const MdbField &field : fields) {
            if (field.colnum == idColumn)
                id = &field;
            else if (field.colnum == nameColumn)
                text = &field;
            else if (field.colnum == typeColumn)
                type = &field;
        }
        if (!id || !text || !type || id->is_null || text->is_null || type->is_null)
            return;
        if (type->siz < 2 || (le16(walker.bytes(*type)) & 0x7F) != MDB_TABLE)
            return;
        decodeText(walker.bytes(*text), static_cast<size_t>(text->siz), objectName);
        if (exact || !equalIgnoringAsciiCase(objectName, name) || id->siz < 4)
            return;
        exact = objectName == name;
        page = le32(walker.bytes(*id)) & 0x00FFFFFF;
    });
    if (page == 0)
        return false;
    if (page >= pageCount)
        damaged();
    found = MdbCatalogEntry{};
    found.mdb = mdb;
    found.object_type = MDB_TABLE;
    found.table_pg = page;
    std::snprintf(found.object_name, sizeof found.object_name, "%.*s",
                  static_cast<int>(name.size()), name.data());
    return true;
}

class TableCopier
{
public:
    TableCopier(MdbHandle *mdb, MdbTableDef *table, uint64_t pageCount)
        : m_mdb(mdb), m_table(table), m_walker(mdb, table, pageCount),
          m_longValues(mdb, pageCount)
    {
    }

    sqlite::Database copy()
    {
        std::string create = "CREATE TABLE \"Somnara\" (";
        std::string insert = "INSERT INTO \"Somnara\" VALUES (";
        std::string topic;
        for (guint i = 0; i < m_table->num_cols; ++i) {
            MdbColumn *col = columnAt(m_table, i);
            if (!col || col->name[0] == '\0')
                damaged();
            for (guint j = 0; j < i; ++j) {
                if (equalIgnoringAsciiCase(col->name, columnAt(m_table, j)->name))
                    damaged();
            }
            if (i > 0) {
                create += ", ";
                insert += ", ";
            }
            create += sqlName(col->name) + " " + declaredType(col->col_type);
            insert += "?";
            if (std::string_view(col->name) == "主题")
                topic = col->name;
        }
        create += ")";
        insert += ")";

        try {
            auto db = sqlite::Database::openMemory();
            db.execute(create);
            db.execute("BEGIN");
            {
                sqlite::Statement statement(db, insert);
                m_walker.walk([&](const std::vector<MdbField> &fields) {
                    copyRow(statement, fields);
                });
            }
            db.execute("COMMIT");
            // Built after the rows: faster than keeping it up to date while inserting.
            if (!topic.empty())
                db.execute("CREATE INDEX \"Somnara_topic\" ON \"Somnara\" (" + sqlName(topic)
                           + ")");
            return db;
        } catch (const StoreError &error) {
            throw CopyFailed{error.what()};
        }
    }

private:
    void copyRow(sqlite::Statement &statement, const std::vector<MdbField> &fields)
    {
        for (const MdbField &field : fields) {
            MdbColumn *col = columnAt(m_table, static_cast<guint>(field.colnum));
            const int index = field.colnum + 1;
            if (col->col_type == MDB_BOOL) {
                // A yes/no value lives in the row's null mask: a set bit is yes.
                statement.bindInt(index, field.is_null ? 0 : 1);
            } else if (field.is_null) {
                statement.bindNull(index);
            } else {
                bindValue(statement, index, col, m_walker.bytes(field),
                          static_cast<size_t>(field.siz));
            }
        }
        statement.step();
        statement.reset();
    }

    void bindValue(sqlite::Statement &statement, int index, MdbColumn *col,
                   const unsigned char *value, size_t size)
    {
        const int type = col->col_type;
        if (size < fixedSize(type))
            damaged();
        switch (type) {
        case MDB_BYTE:
            statement.bindInt(index, value[0]);
            break;
        case MDB_INT:
            statement.bindInt(index, static_cast<int16_t>(le16(value)));
            break;
        case MDB_LONGINT:
        case MDB_COMPLEX:
            statement.bindInt(index, static_cast<int32_t>(le32(value)));
            break;
        case MDB_MONEY:
            // Currency is a count of ten-thousandths.
            statement.bindDouble(index,
                                 static_cast<double>(static_cast<int64_t>(le64(value))) / 10000.0);
            break;
        case MDB_FLOAT: {
            const uint32_t bits = le32(value);
            float f;
            std::memcpy(&f, &bits, sizeof f);
            statement.bindDouble(index, f);
            break;
        }
        case MDB_DOUBLE:
        case MDB_DATETIME: {
            const uint64_t bits = le64(value);
            double d;
            std::memcpy(&d, &bits, sizeof d);
            if (type == MDB_DOUBLE) {
                statement.bindDouble(index, d);
                break;
            }
            const std::string text = dateText(d);
            if (text.empty())
                statement.bindDouble(index, d);
            else
                statement.bind(index, text);
            break;
        }
        case MDB_REPID:
            statement.bind(index, guidText(value));
            break;
        case MDB_NUMERIC: {
            GText text(mdb_numeric_to_string(m_mdb, static_cast<int>(value - m_mdb->pg_buf),
                                             col->col_scale, col->col_prec));
            if (!text)
                damaged();
            statement.bind(index, text.get());
            break;
        }
        case MDB_TEXT:
            decodeText(value, size, m_text);
            statement.bind(index, m_text);
            break;
        case MDB_MEMO:
            m_longValues.read(value, size, m_raw);
            decodeText(reinterpret_cast<const unsigned char *>(m_raw.data()), m_raw.size(), m_text);
            statement.bind(index, m_text);
            break;
        case MDB_OLE:
            m_longValues.read(value, size, m_raw);
            statement.bindBlob(index, m_raw.data(), static_cast<int>(m_raw.size()));
            break;
        default: // binary, and anything this reader does not know: the bytes as they are
            statement.bindBlob(index, value, static_cast<int>(size));
            break;
        }
    }

    MdbHandle *m_mdb;
    MdbTableDef *m_table;
    RowWalker m_walker;
    LongValueReader m_longValues;
    std::string m_raw;
    std::string m_text;
};

sqlite::Database load(const std::string &path, const std::string &displayName)
{
    const uint64_t pageCount = checkFile(path, displayName);

    // Never MDB_WRITABLE: the file is the user's data and is only ever read.
    Handle mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!mdb || !mdb->fmt || !mdb->f || mdb->f->jet_version == MDB_VER_JET3
        || static_cast<uint64_t>(mdb->fmt->pg_size) != kPageSize)
        damaged();
    namesInUtf8(mdb.get());

    MdbCatalogEntry entry{};
    if (!findTable(mdb.get(), pageCount, "Somnara", entry))
        throw StoreError(quoted(displayName) + "不是梦境数据库：其中没有数据表 Somnara");
    Table table(mdb_read_table(&entry));
    if (!table || !readColumns(table.get()))
        damaged();
    return TableCopier(mdb.get(), table.get(), pageCount).copy();
}

} // namespace

bool jetSupported()
{
    return true;
}

sqlite::Database loadJetTable(const std::string &path, const std::string &displayName)
{
    try {
        return load(path, displayName);
    } catch (const Damaged &) {
        throw StoreError("读取 Access 数据库" + quoted(displayName) + "失败：文件已损坏或不完整");
    } catch (const std::bad_alloc &) {
        throw StoreError("读取 Access 数据库" + quoted(displayName) + "失败：内存不足");
    } catch (const CopyFailed &failure) {
        throw StoreError("读取 Access 数据库" + quoted(displayName) + "失败：" + failure.reason);
    }
}

#else

bool jetSupported()
{
    return false;
}

sqlite::Database loadJetTable(const std::string &, const std::string &displayName)
{
    throw StoreError(quoted(displayName)
                     + "是 Access 数据库文件，但本程序的这个版本不能读取 Access 数据库，"
                       "请改用 SQLite 格式的梦境数据库");
}

#endif

} // namespace somnara
