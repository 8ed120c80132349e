#include "tarvo/pipeline/ingest/access.hpp"

#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"

#if TARVO_HAVE_MDBTOOLS
#include <mdbtools.h>

#include <charconv>
#include <cstdlib>
#include <memory>
#endif

namespace tarvo::ingest {

#if TARVO_HAVE_MDBTOOLS

namespace {

struct CloseMdb {
    void operator()(MdbHandle* h) const { mdb_close(h); }
};
using MdbPtr = std::unique_ptr<MdbHandle, CloseMdb>;

struct FreeTable {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};
using TablePtr = std::unique_ptr<MdbTableDef, FreeTable>;

MdbPtr open_mdb(const fs::path& db_path) {
    std::error_code ec;
    if (!fs::exists(db_path, ec))
        throw core::FileNotFoundError("No such file or directory: '" + core::path_text(db_path) + "'");
    MdbPtr mdb(mdb_open(db_path.c_str(), MDB_NOFLAGS));
    if (!mdb) throw core::OSError("cannot open the Access database " + core::path_text(db_path));
    mdb_set_date_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
    mdb_set_boolean_fmt_numbers(mdb.get());
    if (!mdb_read_catalog(mdb.get(), MDB_TABLE))
        throw core::OSError("cannot read the table catalog of " + core::path_text(db_path));
    return mdb;
}

// User tables of the catalog, in catalog order.
std::vector<MdbCatalogEntry*> user_tables(MdbHandle* mdb) {
    std::vector<MdbCatalogEntry*> out;
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry)) out.push_back(entry);
    }
    return out;
}

core::Kind kind_of(int col_type) {
    switch (col_type) {
        case MDB_BOOL: return core::boolean;
        case MDB_BYTE:
        case MDB_INT:
        case MDB_LONGINT: return core::i64;
        case MDB_MONEY:
        case MDB_FLOAT:
        case MDB_DOUBLE:
        case MDB_NUMERIC: return core::f64;
        default: return core::str;
    }
}

// Appends one bound cell (libmdb's text form of the value) to its column.
void push_cell(core::Column& col, int col_type, const char* text, int len) {
    if (len <= 0 || col_type == MDB_OLE || col_type == MDB_BINARY) {
        // Binary contents (OLE objects, binary fields) have no text or number form here.
        col.push_null();
        return;
    }
    std::string_view s(text, static_cast<size_t>(len));
    switch (col.kind()) {
        case core::Kind::boolean: col.push_bool(s != "0"); return;
        case core::Kind::i64: {
            int64_t v = 0;
            auto res = std::from_chars(s.data(), s.data() + s.size(), v);
            if (res.ec == std::errc() && res.ptr == s.data() + s.size())
                col.push_int(v);
            else
                col.push_null();
            return;
        }
        case core::Kind::f64: {
            std::string owned(s);
            char* end = nullptr;
            double v = std::strtod(owned.c_str(), &end);
            if (end && *end == '\0')
                col.push_double(v);
            else
                col.push_null();
            return;
        }
        default: col.push_text(std::string(s)); return;
    }
}

}  // namespace

core::Table read_access_table(const fs::path& db_path, const std::string& table_name) {
    MdbPtr mdb = open_mdb(db_path);
    MdbCatalogEntry* found = nullptr;
    for (MdbCatalogEntry* entry : user_tables(mdb.get()))
        if (table_name == entry->object_name) found = entry;
    if (!found)
        throw core::KeyError("table '" + table_name + "' not found in " + core::path_text(db_path));
    TablePtr table(mdb_read_table(found));
    if (!table) throw core::OSError("cannot read table '" + table_name + "' of " + core::path_text(db_path));
    mdb_read_columns(table.get());
    mdb_rewind_table(table.get());

    const unsigned int ncols = table->num_cols;
    const size_t bind_size = mdb->bind_size;
    std::vector<std::string> buffers(ncols, std::string(bind_size + 1, '\0'));
    std::vector<int> lengths(ncols, 0);
    std::vector<int> types(ncols);
    std::vector<std::string> names(ncols);
    std::vector<core::Column> cols;
    for (unsigned int c = 0; c < ncols; ++c) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
        types[c] = col->col_type;
        names[c] = col->name;
        cols.emplace_back(kind_of(col->col_type));
        mdb_bind_column(table.get(), static_cast<int>(c + 1), buffers[c].data(), &lengths[c]);
    }
    while (mdb_fetch_row(table.get())) {
        for (unsigned int c = 0; c < ncols; ++c) push_cell(cols[c], types[c], buffers[c].data(), lengths[c]);
    }

    core::Table out;
    for (unsigned int c = 0; c < ncols; ++c) out.set(names[c], std::move(cols[c]));
    return out;
}

std::vector<std::string> list_access_tables(const fs::path& db_path) {
    MdbPtr mdb = open_mdb(db_path);
    std::vector<std::string> names;
    for (MdbCatalogEntry* entry : user_tables(mdb.get())) names.emplace_back(entry->object_name);
    return names;
}

#else

namespace {
[[noreturn]] void reader_missing() {
    throw core::ModuleNotFoundError(
        "the Access reader is missing: this build of tarvo was made without mdbtools (libmdb)");
}
}  // namespace

core::Table read_access_table(const fs::path&, const std::string&) { reader_missing(); }
std::vector<std::string> list_access_tables(const fs::path&) { reader_missing(); }

#endif

}  // namespace tarvo::ingest
