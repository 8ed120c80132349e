// Error kinds. Every failure is an exception carrying its kind (ErrorKind::TypeError,
// ErrorKind::CatalogException, ...); code decides on the kind, and the kind's name ("TypeError",
// "CatalogException") is printed only where a line names it.
#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarvo::core {

// Every kind, under the name a line prints for it: the system's own kinds, then the warehouse's
// (one per error class of the warehouse library; "Error" when its message names none).
#define TARVO_ERROR_KINDS(X)                                                                                      \
    X(TypeError) X(ValueError) X(KeyError) X(IndexError) X(ModuleNotFoundError) X(AttributeError)                 \
    X(FileNotFoundError) X(OSError) X(IsADirectoryError) X(NotADirectoryError) X(FileExistsError)                  \
    X(UnicodeDecodeError) X(ReadError) X(MemoryError) X(RuntimeError)                                             \
    X(Error) X(OutOfRangeException) X(ConversionException) X(UnknownTypeException) X(DecimalException)            \
    X(TypeMismatchException) X(DivideByZeroException) X(ObjectSizeException) X(InvalidTypeException)               \
    X(SerializationException) X(TransactionException) X(NotImplementedException) X(ExpressionException)           \
    X(CatalogException) X(ParserException) X(PlannerException) X(SchedulerException) X(ExecutorException)         \
    X(ConstraintException) X(IndexException) X(StatException) X(ConnectionException) X(SyntaxException)           \
    X(SettingsException) X(BinderException) X(NetworkException) X(OptimizerException) X(NullPointerException)     \
    X(IOException) X(InterruptException) X(FatalException) X(InternalException) X(InvalidInputException)          \
    X(OutOfMemoryException) X(PermissionException) X(ParameterNotResolvedException)                              \
    X(ParameterNotAllowedException) X(DependencyException) X(HTTPException) X(MissingExtensionException)          \
    X(AutoloadException) X(SequenceException) X(InvalidConfigurationException)

#define TARVO_ERROR_KIND_ENUMERATOR(name) name,
enum class ErrorKind { TARVO_ERROR_KINDS(TARVO_ERROR_KIND_ENUMERATOR) };
#undef TARVO_ERROR_KIND_ENUMERATOR
#define TARVO_ERROR_KIND_ONE(name) +1
inline constexpr int kErrorKindCount = 0 TARVO_ERROR_KINDS(TARVO_ERROR_KIND_ONE);
#undef TARVO_ERROR_KIND_ONE

// The name a line prints for `kind`: the enumerator's own name ("CatalogException").
std::string_view kind_name(ErrorKind kind);
std::ostream& operator<<(std::ostream& out, ErrorKind kind);

class Error : public std::runtime_error {
public:
    Error(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    ErrorKind kind() const { return kind_; }

private:
    ErrorKind kind_;
};

// The system's own kinds as exception types, so that a throw site reads `throw TypeError(...)`.
template <ErrorKind K>
struct KindError : Error {
    explicit KindError(const std::string& message) : Error(K, message) {}
};

using TypeError = KindError<ErrorKind::TypeError>;
using ValueError = KindError<ErrorKind::ValueError>;
using KeyError = KindError<ErrorKind::KeyError>;
using IndexError = KindError<ErrorKind::IndexError>;
using ModuleNotFoundError = KindError<ErrorKind::ModuleNotFoundError>;
using AttributeError = KindError<ErrorKind::AttributeError>;
using FileNotFoundError = KindError<ErrorKind::FileNotFoundError>;
using OSError = KindError<ErrorKind::OSError>;
using IsADirectoryError = KindError<ErrorKind::IsADirectoryError>;
using NotADirectoryError = KindError<ErrorKind::NotADirectoryError>;
using FileExistsError = KindError<ErrorKind::FileExistsError>;
using UnicodeDecodeError = KindError<ErrorKind::UnicodeDecodeError>;
using ReadError = KindError<ErrorKind::ReadError>;

// The kind of any exception: an Error's own kind; for the standard library's exceptions the
// kind closest to it (bad_alloc -> MemoryError, out_of_range -> IndexError, invalid_argument ->
// ValueError, anything else RuntimeError).
ErrorKind kind_of(const std::exception& e);
// The printed name of `e`'s kind, for the lines that report an error.
std::string error_kind(const std::exception& e);

}  // namespace tarvo::core
