// The warehouse engine: one connection to a DuckDB file (or ":memory:") through the C API.
//
// Statements are SQL text, optionally with one list parameter bound to $1 or a batch of
// parameter rows for "?"; each runs exactly once (an INSERT ... RETURNING inserts once, whatever
// its result holds); results are fetched whole, as a Table or as row tuples. Errors are thrown
// as WarehouseError whose kind is the warehouse's error class (CatalogException for a missing
// table, BinderException, ParserException, ...) and whose message is the data-free
// part of the warehouse's (error_text.hpp): never a statement, a value or a source line.
//
// Result types map to columns as: BOOLEAN -> boolean; integer types -> i64; FLOAT, DOUBLE,
// DECIMAL, HUGEINT -> f64; VARCHAR -> str; DATE -> text "2024-01-01"; TIMESTAMP -> text
// "2024-01-01 00:00:00". A query whose result holds any other type (LIST, INTERVAL, ...) comes
// back with every column as the warehouse's text form of its cells; another statement with such
// a result (INSERT ... RETURNING) is refused before it runs (NotImplementedException). With a
// list parameter the result's types are known only once the statement has run: such a result is
// then refused after its one run.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tarvo/core/document.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/table.hpp"

namespace tarvo::vandel {

enum class Access { read_write, read_only };

class WarehouseError : public core::Error {
public:
    using core::Error::Error;
};

using Row = std::vector<core::Value>;

// A chunk of rows of an all-number result: each cell as a double (a BOOLEAN as 0 or 1, an integer,
// FLOAT, DECIMAL or HUGEINT converted as query() converts it), and whether it is null.
class NumberChunk {
public:
    size_t rows() const { return rows_; }
    size_t columns() const { return values_.size(); }
    bool is_null(size_t c, size_t i) const { return !valid_[c][i]; }
    double at(size_t c, size_t i) const { return values_[c][i]; }  // 0 when null

private:
    friend class Vandel;
    size_t rows_ = 0;
    std::vector<std::vector<double>> values_;
    std::vector<std::vector<uint8_t>> valid_;
};

struct ColumnReader;  // how the cells of a result column are read (vandel.cpp)

// A chunk of rows of a streamed result read where the warehouse holds it, no columns built: each
// cell as the column of the chunk's Table would hold it (for_each_chunk), texts viewed in place.
// Valid only during the call that receives it.
class CellChunk {
public:
    size_t rows() const { return rows_; }
    bool is_null(size_t c, size_t i) const;
    // The cell's value (Column::get).
    core::Value value(size_t c, size_t i) const;
    // The cell's text form (Column::text_form): a text cell viewed in place; any other cell's text
    // form is written into `scratch` and viewed there.
    std::string_view text_form(size_t c, size_t i, std::string& scratch) const;
    // Column c's cells as stored, when it is a DOUBLE column (nullptr otherwise): a null cell's
    // place holds no value. A large pivot reads its numbers here instead of through value().
    const double* doubles(size_t c) const;
    // Whether column c is a text column, whose cells text_form() views in place.
    bool holds_text(size_t c) const;

private:
    friend class Vandel;
    struct Vector {
        const void* data;
        const uint64_t* validity;  // null: every cell valid
        const ColumnReader* reader;
    };
    size_t rows_ = 0;
    std::vector<Vector> vectors_;
};

class Vandel {
public:
    // Opens (and for read_write, creates) the warehouse at `path` with the engine settings in
    // force (engine_settings.hpp); WarehouseError on failure.
    explicit Vandel(const std::string& path, Access access = Access::read_write);
    ~Vandel();
    Vandel(Vandel&& o) noexcept;
    Vandel& operator=(Vandel&& o) noexcept;
    Vandel(const Vandel&) = delete;
    Vandel& operator=(const Vandel&) = delete;

    // Closes the connection and the database; further calls throw. Safe to call twice.
    void close();
    // A second connection to the same warehouse, for reading a result while this connection
    // writes: a statement run on a connection ends the result that connection is streaming.
    // Closing it leaves the warehouse open; it must be closed before this connection's close().
    Vandel another_connection();
    bool is_open() const { return con_ != nullptr; }
    const std::string& path() const { return path_; }

    // Runs one or more statements separated by ";" and discards any result.
    void execute(std::string_view sql);
    // Runs a statement and fetches its whole result.
    core::Table query(std::string_view sql);
    // Runs a statement with one list parameter bound to $1.
    core::Table query(std::string_view sql, const std::vector<core::Value>& list_param);
    // Runs a statement with one list parameter bound to $1 as a stream: `on_chunk` receives the
    // result a chunk of rows at a time (a few thousand rows), so memory does not grow with the
    // size of the result.
    // `on_chunk` may take the chunk's columns apart.
    void for_each_chunk(std::string_view sql, const std::vector<core::Value>& list_param,
                        const std::function<void(core::Table&)>& on_chunk);
    // The same for a statement without parameters.
    void for_each_chunk(std::string_view sql, const std::function<void(core::Table&)>& on_chunk);
    // A streamed result whose columns are all numbers, read straight from the warehouse's
    // vectors into doubles (NumberChunk above): for results of tens of millions of numbers,
    // where building a Table cell by cell costs about a third of the reading. A column of any
    // other type is a NotImplementedException before the first chunk.
    void for_each_number_chunk(std::string_view sql, const std::function<void(const NumberChunk&)>& on_chunk);
    void for_each_number_chunk(std::string_view sql, const std::vector<core::Value>& list_param,
                               const std::function<void(const NumberChunk&)>& on_chunk);
    // A streamed result read in place (CellChunk above): for results of millions of rows that are
    // looked at once, where building each chunk's columns cost more than the looking.
    void for_each_cell_chunk(std::string_view sql, const std::function<void(const CellChunk&)>& on_chunk);
    // The same results as row tuples.
    std::vector<Row> fetchall(std::string_view sql);
    std::vector<Row> fetchall(std::string_view sql, const std::vector<core::Value>& list_param);
    // Runs a statement with "?" parameters once per parameter row (prepared once).
    void executemany(std::string_view sql, const std::vector<Row>& rows);
    // Makes `out` visible as the table "out" for one statement, runs it, and drops "out".
    // Column types follow the column kinds (boolean, BIGINT, DOUBLE, VARCHAR; a mixed column is
    // stored as the text form of its cells).
    void run_with_out(const core::Table& out, std::string_view sql);

    // Runs a statement and hands its result to `visit` one row at a time, chunk by chunk, without
    // building a Table of the whole result (the warehouse completes the result first). Cells are
    // documents: scalars as query() reads them, and a LIST cell as the list of its elements
    // (elements of the types query() reads; a null list is a null cell). A column of another type
    // is a NotImplementedException. `visit` may move cells out of the row. Returns the number of
    // rows.
    int64_t for_each_row(std::string_view sql,
                         const std::function<void(std::vector<core::Document>& row)>& visit);

    // Per-connection memo: a slot where callers keep a result derived from this connection's
    // data under a key of their own (an aggregate asked for twice in one run is computed once).
    // It lives with the connection: close() empties it, and so do execute(), executemany() and
    // run_with_out(), which run statements for their effect on the data. nullptr when absent.
    std::any* memo(std::string_view key);
    void set_memo(const std::string& key, std::any value);
    void clear_memo() { memo_.clear(); }

    // Names of the columns of a table ("DESCRIBE"); CatalogException when it does not exist.
    std::vector<std::string> column_names(std::string_view table);
    bool table_exists(std::string_view table);

private:
    void require_open() const;
    void stream_chunks(std::string_view sql, const std::vector<core::Value>* list_param,
                       const std::function<void(core::Table&)>& on_chunk);
    void stream_number_chunks(std::string_view sql, const std::vector<core::Value>* list_param,
                              const std::function<void(const NumberChunk&)>& on_chunk);
    friend class OutTable;
    Vandel(const std::string& path, void* db, void* con) : path_(path), db_(db), con_(con), owns_db_(false) {}
    std::string path_;
    void* db_ = nullptr;   // duckdb_database
    void* con_ = nullptr;  // duckdb_connection
    bool owns_db_ = true;  // false for another_connection()
    std::unordered_map<std::string, std::any> memo_;
};

// The temporary table "out" filled a part at a time: run_with_out for a table too large to hold
// whole. The constructor creates "out" with the columns of `columns` (names and types as
// run_with_out gives them; its rows are not appended); append() adds rows whose columns have the
// same kinds, in the same order (ValueError otherwise); run() makes the appended rows visible and
// runs one statement. The destructor drops "out", whether run() was reached or not.
class OutTable {
public:
    OutTable(Vandel& con, const core::Table& columns);
    ~OutTable();
    OutTable(const OutTable&) = delete;
    OutTable& operator=(const OutTable&) = delete;

    void append(const core::Table& rows);
    // Rows appended so far.
    int64_t rows() const { return rows_; }
    void run(std::string_view sql);

private:
    void drop_out() noexcept;
    Vandel& con_;
    void* appender_ = nullptr;  // duckdb_appender; null once run() closed it
    std::vector<core::Kind> kinds_;
    int64_t rows_ = 0;
};

// A transaction on one connection: begun by the constructor, made lasting by commit(). Leaving
// the scope without commit() (a statement failed and threw) rolls it back, so the connection is
// usable again and the warehouse keeps what it held before; an error of that rollback is not
// thrown over the one that is unwinding.
class Transaction {
public:
    explicit Transaction(Vandel& con);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    Vandel& con_;
    bool open_ = true;
};

// The version text of the loaded warehouse library ("v1.4.4").
std::string library_version();

// The kind a warehouse message's prefix names ("Catalog Error: ..." -> CatalogException, "Out of
// Range Error: ..." -> OutOfRangeException); none when the message starts with no kind. Only for
// the library calls that report a failure as text without its error class: preparing a
// statement, starting its run, opening a warehouse file.
std::optional<core::ErrorKind> error_kind_from_message(std::string_view message);

}  // namespace tarvo::vandel
