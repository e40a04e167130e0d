// SPDX-License-Identifier: Apache-2.0
// The Python module tarsinrf, built from the late-bound dispatch table: every row becomes a
// method or a property of Encoder, named as the interface names it. A member with by-ref
// parameters returns (result, outputs...); LastError is the live CError; a late-bound error is
// raised as tarsinrf.ComError with its number.
#include <dlfcn.h>
#include <pybind11/eval.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "automation/dispatch.h"
#include "automation/member_errors.h"
#include "core/ansi_code_page.h"
#include "core/ascii_text.h"
#include "core/encoder_access.h"
#include "core/error.h"
#include "core/parameter_text.h"
#include "core/state.h"
#include "host/python/enum_table.h"
#include "pcsc/provider_choice.h"
#include "tarsin/readers.h"

namespace py = pybind11;

namespace tarsin::python {
namespace {

using host::EnumTable;
using host::EnumUse;
#include <enum_table.inc>  // generated in the build tree from the public headers

// The live CError that LastError hands out.
struct ErrorObject {
  std::shared_ptr<CError> error;
};

// As deep as the C interface takes them: a deeper list would only exhaust the stack (and a
// self-referential one stops there).
constexpr int kMaxNesting = 64;

[[noreturn]] void Refuse(int32_t number, const std::string& what) {
  throw ComError(number, (number == kDispOverflow ? "Overflow: " : "Type mismatch: ") + what);
}

std::string TextOf(const py::handle& value) {
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(value.ptr(), &size);
  if (text == nullptr) {
    PyErr_Clear();
    Refuse(kDispTypeMismatch, "a str with a lone surrogate has no UTF-8 form");
  }
  return {text, static_cast<size_t>(size)};
}

Variant FromPython(const py::handle& value, int depth = 0) {
  if (value.is_none()) return Variant();
  if (py::isinstance<py::bool_>(value)) return Variant(value.ptr() == Py_True);
  if (py::isinstance<py::int_>(value)) {
    // Late binding sees a Long where it fits; anything wider is coerced (or refused) later.
    int overflow = 0;
    const long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (overflow != 0) Refuse(kDispOverflow, "an int wider than 64 bits");
    if (number >= INT32_MIN && number <= INT32_MAX) return Variant(static_cast<int32_t>(number));
    return Variant(static_cast<int64_t>(number));
  }
  if (py::isinstance<py::float_>(value)) return Variant(PyFloat_AsDouble(value.ptr()));
  if (py::isinstance<py::str>(value)) return Variant(TextOf(value));
  if (py::isinstance<py::bytes>(value)) {
    const std::string bytes = value.cast<std::string>();
    return Variant(Variant::Bytes(bytes.begin(), bytes.end()));
  }
  if (py::isinstance<ErrorObject>(value)) return Variant(value.cast<ErrorObject&>().error);
  if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value)) {
    if (depth >= kMaxNesting) {
      Refuse(kDispTypeMismatch, "lists nested deeper than " + std::to_string(kMaxNesting) +
                                    " (or one that holds itself)");
    }
    Variant::Array elements;
    for (const py::handle element : value) elements.push_back(FromPython(element, depth + 1));
    return Variant(std::move(elements));
  }
  Refuse(kDispTypeMismatch, "a Python " + std::string(py::str(value.get_type().attr("__name__"))) +
                                " has no late-bound form");
}

py::object ToPython(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      return py::none();
    case Variant::Kind::Bool:
      return py::bool_(value.asBool());
    case Variant::Kind::Double:
      return py::float_(value.asDouble());
    case Variant::Kind::String:
      // A card's or a host's text may be Windows-1252: never an exception for its bytes.
      return py::str(WellFormedUtf8(value.asString()));
    case Variant::Kind::Bytes: {
      const Variant::Bytes& bytes = value.asBytes();
      return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    case Variant::Kind::Array: {
      py::list elements;
      for (const Variant& element : value.asArray()) elements.append(ToPython(element));
      return elements;
    }
    case Variant::Kind::Object:
      return py::cast(ErrorObject{value.asObject()});
    default:
      return py::int_(value.asInt64());
  }
}

// The IntEnum a member's result ("") or parameter has, or nullptr.
const char* EnumerationOf(const automation::Member& member, std::string_view parameter) {
  for (const EnumUse& use : kEnumUses) {
    if (member.name == use.member && parameter == use.parameter) return use.enumeration;
  }
  return nullptr;
}

// The module, which holds the IntEnums; sys.modules keeps it alive.
py::handle theModule;

// Each member's enumerations as their value-to-member maps (nullptr: a plain value), for the
// result and each parameter, taken once from the rows rather than at every call. The references
// are kept for the life of the process (no destructor runs after the interpreter has ended).
struct MemberEnums {
  PyObject* result = nullptr;
  std::vector<PyObject*> parameters;
};
std::vector<MemberEnums>* memberEnums = nullptr;

PyObject* ValueMap(const char* enumeration) {
  if (enumeration == nullptr) return nullptr;
  py::object values = theModule.attr(enumeration).attr("_value2member_map_");
  return values.release().ptr();
}

void TakeMemberEnums() {
  const auto members = automation::Members();
  memberEnums = new std::vector<MemberEnums>(members.size());
  for (size_t at = 0; at < members.size(); ++at) {
    MemberEnums& enums = (*memberEnums)[at];
    enums.result = ValueMap(EnumerationOf(members[at], ""));
    for (const automation::Parameter& parameter : members[at].parameters) {
      enums.parameters.push_back(ValueMap(EnumerationOf(members[at], parameter.name)));
    }
  }
}

const MemberEnums& EnumsOf(const automation::Member& member) {
  const auto members = automation::Members();
  return (*memberEnums)[static_cast<size_t>(&member - members.data())];
}

// An enumerated output as its IntEnum (`values`: the enumeration's value-to-member map); a
// value outside the enumeration (a combination of settings) stays a plain int.
py::object Shown(PyObject* values, const Variant& value) {
  if (values == nullptr || value.kind() == Variant::Kind::Empty) return ToPython(value);
  py::int_ number(value.asInt64());
  if (PyObject* member = PyDict_GetItemWithError(values, number.ptr())) {
    return py::reinterpret_borrow<py::object>(member);
  }
  if (PyErr_Occurred() != nullptr) throw py::error_already_set();
  return number;
}

// One call of `member` with Python's positional and keyword arguments. A by-ref parameter left
// out is passed Empty, as an unset variable would be. The interpreter lock is released while
// the member runs: arguments are converted before, results after.
py::object Call(Encoder& encoder, const automation::Member& member, const py::args& args,
                const py::kwargs& kwargs) {
  const auto& parameters = member.parameters;
  if (args.size() > parameters.size()) {
    throw ComError(kDispBadParamCount, "Wrong number of arguments for " + std::string(member.name) +
                                           ": " + std::to_string(args.size()) + " given, at most " +
                                           std::to_string(parameters.size()) + " expected");
  }
  automation::Arguments values(parameters.size());
  for (size_t i = 0; i < args.size(); ++i) values[i] = FromPython(args[i]);
  for (const auto& [key, value] : kwargs) {
    const std::string name = TextOf(key);
    size_t i = 0;
    while (i < parameters.size() && !EqualsIgnoringCase(parameters[i].name, name)) ++i;
    if (i == parameters.size()) {
      throw ComError(kDispUnknownName,
                     "Unknown name: " + name + " for " + std::string(member.name));
    }
    values[i] = FromPython(value);
  }
  // Trailing optionals left out are simply not passed; any other gap is Empty or missing.
  size_t given = values.size();
  while (given > 0 && !values[given - 1] && parameters[given - 1].optional) --given;
  values.resize(given);
  for (size_t i = 0; i < values.size(); ++i) {
    if (!values[i] && parameters[i].byRef && !parameters[i].optional) values[i] = Variant();
  }
  Variant result;
  {
    // The encoder's own lock makes two Python threads take turns on it.
    const py::gil_scoped_release released;
    result = automation::Invoke(encoder, member, values);
  }
  const MemberEnums& enums = EnumsOf(member);
  py::object shown = Shown(enums.result, result);
  size_t byRef = 0;
  for (const automation::Parameter& parameter : parameters) byRef += parameter.byRef ? 1 : 0;
  if (byRef == 0) return shown;
  py::tuple all(byRef + 1);
  all[0] = std::move(shown);
  for (size_t i = 0, at = 1; i < parameters.size(); ++i) {
    if (!parameters[i].byRef) continue;
    all[at++] =
        i < values.size() && values[i] ? Shown(enums.parameters[i], *values[i]) : py::none();
  }
  return all;
}

// The Python type a value of `type` (or the enumeration named) comes as, for stubs and help.
std::string PythonType(ValueType type, const char* enumeration) {
  if (enumeration != nullptr) return enumeration;
  switch (type) {
    case ValueType::String:
      return "str";
    case ValueType::Long:
    case ValueType::Byte:
      return "int";
    case ValueType::Boolean:
      return "bool";
    case ValueType::Double:
      return "float";
    case ValueType::ReturnCode:
      return "sceReturnCode";
    case ValueType::Error:
      return "CError";
    case ValueType::None:
      return "None";
    default:
      return "Any";
  }
}

// A method's signature and result from its row: the first lines of its docstring (CPython reads
// the text signature from them), and the row as data for the generated stub.
struct Described {
  std::string doc;
  py::dict row;
};

Described Describe(const automation::Member& member) {
  std::string text = std::string(member.name) + "($self";
  std::string typed = std::string(member.name) + "(self";
  std::string outputs;
  py::list parameters;
  for (const automation::Parameter& parameter : member.parameters) {
    const std::string name(parameter.name);
    const char* enumeration = EnumerationOf(member, name);
    const std::string type = PythonType(parameter.type, enumeration);
    // By-ref parameters may be left out too: they then go in empty.
    const bool mayOmit = parameter.optional || parameter.byRef;
    text += ", " + name + (mayOmit ? "=None" : "");
    // An enumeration's plain number goes in as well.
    const std::string accepted = type + (enumeration && !parameter.byRef ? " | int" : "");
    typed.append(", ").append(name).append(": ").append(accepted);
    if (mayOmit) typed += " | None = None";
    if (parameter.byRef) outputs += ", " + type;
    parameters.append(py::make_tuple(name, accepted, parameter.byRef, mayOmit));
  }
  const std::string result = PythonType(member.result, EnumerationOf(member, ""));
  const std::string returns = outputs.empty() ? result : "tuple[" + result + outputs + "]";
  typed += ") -> " + returns;
  std::string doc = text + ")\n--\n\n" + typed + "\n\n";
  doc += outputs.empty() ? "Returns the member's result."
                         : "Returns the result, then each by-ref parameter's value out, in order.";
  doc += " A late-bound error raises ComError.";
  if (const std::string errors = automation::ErrorNumbersText(member.name); !errors.empty()) {
    doc += "\n\nLastError numbers it can leave: " + errors + ".";
  }
  py::dict row;
  row["name"] = std::string(member.name);
  row["parameters"] = parameters;
  row["returns"] = returns;
  return {doc, row};
}

// The context manager: `with Encoder(parameters) as e:` opens, and closes on the way out.
void DefineContextManager(py::class_<Encoder>& encoder) {
  encoder.def(
      "__enter__",
      [](const py::object& self) {
        auto& e = self.cast<Encoder&>();
        const automation::Member& open = automation::FindMember("OpenEncoder");
        if (Call(e, open, py::make_tuple(0), py::kwargs()).cast<int>() != scesuccess) {
          const std::shared_ptr<CError> error = e.LastError();
          throw ComError(error->Number, error->Description);
        }
        return self;
      },
      "Opens the encoder (OpenEncoder(0)); ComError with LastError when it fails.");
  encoder.def(
      "__exit__",
      [](Encoder& self, const py::args&) {
        Call(self, automation::FindMember("CloseEncoder"), py::args(), py::kwargs());
        return false;
      },
      "Closes the encoder; an exception from the block goes on.");
}

// Parameters, open or closed and the last error number, without a call that logs or waits.
std::string Repr(Encoder& self) {
  std::string parameters;
  bool open = false;
  int32_t number = 0;
  {
    const py::gil_scoped_release released;
    EncoderState& state = StateOf(self);
    const std::lock_guard turn(*state.calls);
    parameters = ParameterText(state);
    open = state.hContext != 0;
    number = LastErrorOf(state).Number;
  }
  for (size_t at = 0; (at = parameters.find("\r\n", at)) != std::string::npos;) {
    parameters.replace(at, 2, ";");
  }
  char error[16];
  std::snprintf(error, sizeof error, "0x%08X", static_cast<uint32_t>(number));
  return "<tarsinrf.Encoder " + std::string(py::repr(py::str(WellFormedUtf8(parameters)))) +
         (open ? " open" : " closed") + " LastError=" + error + ">";
}

#ifdef TARSIN_VPCSC_LIBRARY
// The provider beside this module (a wheel keeps it in tarsinrf.libs/), by its full path so that
// child processes find it too; elsewhere by name, through the module's run path.
std::string VirtualReaderProvider() {
  Dl_info self{};
  if (::dladdr(reinterpret_cast<void*>(&VirtualReaderProvider), &self) != 0 &&
      self.dli_fname != nullptr) {
    const std::filesystem::path folder = std::filesystem::path(self.dli_fname).parent_path();
    for (const auto& candidate :
         {folder / "tarsinrf.libs" / TARSIN_VPCSC_LIBRARY, folder / TARSIN_VPCSC_LIBRARY}) {
      std::error_code failed;
      if (std::filesystem::is_regular_file(candidate, failed)) return candidate.string();
    }
  }
  return TARSIN_VPCSC_LIBRARY;
}
#endif

// A reader's status as Python sees it; the card type as the sceCardTypes IntEnum when it has a
// name there.
py::object ToPython(const ReaderStatus& status, const py::module_& module) {
  py::object cardType = py::int_(static_cast<int32_t>(status.CardType));
  try {
    cardType = module.attr("sceCardTypes")(cardType);
  } catch (const py::error_already_set&) {
    // a number the enumeration does not name stays a number
  }
  return module.attr("ReaderStatus")(WellFormedUtf8(status.Name), status.CardPresent, status.ATR,
                                     cardType);
}

// Raises the exception class of the outcome's number.
[[noreturn]] void Raise(const ReaderOutcome& outcome, const py::module_& module) {
  const char* name = outcome.Number == kNoResourceManager ? "NoResourceManager"
                     : outcome.Number == kUnknownReader   ? "UnknownReader"
                     : outcome.Number == kWaitTimedOut    ? "WaitTimeout"
                     : outcome.Number == kWaitCancelled   ? "WaitCancelled"
                     : outcome.Number == kNoReaders       ? "NoReaders"
                                                          : "ReaderError";
  PyErr_SetObject(module.attr(name).ptr(),
                  py::make_tuple(outcome.Number, outcome.Description).ptr());
  throw py::error_already_set();
}

void AddReaders(py::module_& module) {
  py::exec(R"(
import collections
ReaderStatus = collections.namedtuple("ReaderStatus", "name card_present atr card_type")
class ReaderError(Exception):
    """A reader listing or wait that failed: `number` (the PC/SC result) and `description`."""
    def __init__(self, number, description):
        super().__init__(f"0x{number & 0xFFFFFFFF:08X} {description}")
        self.number = number
        self.description = description
class NoResourceManager(ReaderError): pass
class UnknownReader(ReaderError): pass
class WaitTimeout(ReaderError, TimeoutError): pass
class WaitCancelled(ReaderError): pass
class NoReaders(ReaderError): pass
CARD_ARRIVAL = 1
CARD_REMOVAL = 2
)",
           module.attr("__dict__"));
  py::class_<ReaderWatch> watch(module, "ReaderWatch",
                                "Readers and card arrival; one watch may serve several threads");
  watch.def(py::init<>());
  watch.def("list", [module](const ReaderWatch& self) {
    std::vector<ReaderStatus> readers;
    ReaderOutcome outcome;
    {
      py::gil_scoped_release unlocked;
      outcome = self.List(readers);
    }
    if (outcome.Number != 0) Raise(outcome, module);
    py::list listed;
    for (const ReaderStatus& status : readers) listed.append(ToPython(status, module));
    return listed;
  });
  watch.def(
      "wait_for_card",
      [module](ReaderWatch& self, const std::string& reader, int event,
               const std::optional<double>& timeout) {
        if (event != static_cast<int>(CardEvent::Arrival) &&
            event != static_cast<int>(CardEvent::Removal)) {
          throw py::value_error("event is CARD_ARRIVAL or CARD_REMOVAL");
        }
        // Seconds, as Python counts them; None waits for ever.
        uint32_t milliseconds = kWaitForever;
        if (timeout) {
          milliseconds = static_cast<uint32_t>(std::clamp(*timeout * 1000.0, 0.0, 4294967294.0));
        }
        ReaderStatus status;
        ReaderOutcome outcome;
        {
          // Another Python thread must be able to cancel.
          py::gil_scoped_release unlocked;
          outcome = self.WaitForCard(reader, static_cast<CardEvent>(event), milliseconds, status);
        }
        if (outcome.Number != 0) Raise(outcome, module);
        return ToPython(status, module);
      },
      py::arg("reader") = "", py::arg("event") = static_cast<int>(CardEvent::Arrival),
      py::arg("timeout") = py::none());
  watch.def(
      "cancel", [](ReaderWatch& self) { self.Cancel(); },
      "Ends the waits in progress with WaitCancelled; for another thread");
  py::exec(R"(
def readers():
    """The readers, each with its card (present, ATR, card type): ReaderWatch().list()."""
    return ReaderWatch().list()
)",
           module.attr("__dict__"));
}

}  // namespace

PYBIND11_MODULE(tarsinrf, module) {
  module.doc() = "Tarsin RF: contactless-card encoding through PC/SC readers";
  theModule = module;
  module.attr("__version__") = TARSIN_VERSION;

  // ComError carries the late-bound error's number and description.
  py::exec(R"(
class ComError(Exception):
    """A late-bound error: `number` (signed 32-bit, as automation reports it) and `description`."""
    def __init__(self, number, description):
        super().__init__(f"0x{number & 0xFFFFFFFF:08X} {description}")
        self.number = number
        self.description = description
)",
           module.attr("__dict__"));
  static py::object comError = module.attr("ComError");
  // pybind11 takes the translator as void (*)(std::exception_ptr): the copy is its signature.
  // NOLINTNEXTLINE(performance-unnecessary-value-param)
  py::register_exception_translator([](std::exception_ptr pointer) {
    try {
      if (pointer) std::rethrow_exception(pointer);
    } catch (const ComError& e) {
      PyErr_SetObject(comError.ptr(), py::make_tuple(e.number(), e.description()).ptr());
    }
  });

  py::object intEnum = py::module_::import("enum").attr("IntEnum");
  for (const EnumTable& table : kEnums) {
    py::list items;
    for (const auto& [name, value] : table.items) items.append(py::make_tuple(name, value));
    py::object created = intEnum(table.name, items, py::arg("module") = "tarsinrf");
    module.attr(table.name) = created;
    // Each constant by its own name too, as a type library offers them to a script.
    for (const auto& [name, value] : table.items) {
      if (!py::hasattr(module, name)) module.attr(name) = created.attr(name);
    }
  }

  TakeMemberEnums();

  py::class_<ErrorObject> error(module, "CError", "LastError's live object: six fields");
  for (const automation::ErrorField& field : automation::ErrorFields()) {
    error.def_property(
        std::string(field.name).c_str(),
        [&field](const ErrorObject& self) { return ToPython(GetErrorField(*self.error, field)); },
        [&field](ErrorObject& self, const py::object& value) {
          LetErrorField(*self.error, field, FromPython(value));
        },
        std::holds_alternative<int32_t CError::*>(field.member) ? "int" : "str");
  }

  // The members' own signatures and texts stand in for pybind11's (*args, **kwargs).
  py::options options;
  options.disable_function_signatures();
  py::class_<Encoder> encoder(module, "Encoder",
                              "One encoder: a PC/SC reader and its card.\n\n"
                              "Encoder(parameters=None): sets Parameters when given.");
  encoder.def(py::init([](const py::object& parameters) {
                auto created = std::make_unique<Encoder>();
                if (!parameters.is_none()) {
                  Call(*created, automation::FindMember("Parameters", true),
                       py::make_tuple(parameters), py::kwargs());
                }
                return created;
              }),
              py::arg("parameters") = py::none(),
              "__init__($self, parameters=None)\n--\n\nSets Parameters when given.");
  encoder.def("__repr__", &Repr);
  DefineContextManager(encoder);
  py::list rows;
  // A property's Get and Let rows share one Python property.
  for (const automation::Member& member : automation::Members()) {
    const std::string name(member.name);
    if (member.kind == automation::MemberKind::PropertyGet ||
        member.kind == automation::MemberKind::PropertyLet) {
      if (py::hasattr(encoder, name.c_str())) continue;
      // FindMember prefers the half asked for and gives the other when there is only one.
      const automation::Member& asGet = automation::FindMember(name, false);
      const automation::Member& asLet = automation::FindMember(name, true);
      const automation::Member* getter =
          asGet.kind == automation::MemberKind::PropertyGet ? &asGet : nullptr;
      const automation::Member* letter =
          asLet.kind == automation::MemberKind::PropertyLet ? &asLet : nullptr;
      const std::string type = getter ? PythonType(getter->result, EnumerationOf(*getter, ""))
                                      : PythonType(letter->parameters.front().type, nullptr);
      std::string doc = name;
      doc.append(": ").append(type).append(letter ? "" : " (read-only)");
      if (const std::string errors = automation::ErrorNumbersText(name); !errors.empty()) {
        doc += ". LastError numbers it can leave: " + errors;
      }
      py::cpp_function get;
      py::cpp_function let;
      if (getter) {
        get = py::cpp_function(
            [getter](Encoder& self) { return Call(self, *getter, py::args(), py::kwargs()); },
            py::doc(doc.c_str()));
      }
      if (letter) {
        let = py::cpp_function([letter](Encoder& self, const py::object& value) {
          Call(self, *letter, py::make_tuple(value), py::kwargs());
        });
      }
      encoder.def_property(name.c_str(), get, let);
      py::dict row;
      row["name"] = name;
      row["property"] = type;
      row["writable"] = letter != nullptr;
      rows.append(row);
      continue;
    }
    const automation::Member* row = &member;
    Described described = Describe(member);
    encoder.def(
        name.c_str(),
        [row](Encoder& self, const py::args& args, const py::kwargs& kwargs) {
          return Call(self, *row, args, kwargs);
        },
        py::doc(described.doc.c_str()));
    rows.append(described.row);
  }
  // The rows as data, for the stub written at build time.
  module.attr("_members") = rows;

  // Late binding by name, for names chosen at run time: an unknown one raises ComError.
  encoder.def(
      "invoke",
      [](Encoder& self, const py::args& args, const py::kwargs& kwargs) {
        if (args.empty() || !py::isinstance<py::str>(args[0])) {
          Refuse(kDispTypeMismatch, "invoke takes the member's name as a str first");
        }
        const py::args rest = py::reinterpret_steal<py::args>(
            PyTuple_GetSlice(args.ptr(), 1, static_cast<Py_ssize_t>(args.size())));
        return Call(self, automation::FindMember(TextOf(args[0])), rest, kwargs);
      },
      "invoke($self, name, /, *args, **kwargs)\n--\n\n"
      "Calls the member named (without regard to case); an unknown name raises ComError.");

  // The functions below keep pybind11's own signatures.
  options.enable_function_signatures();
  AddReaders(module);
  module.def(
      "version", [] { return std::string(TARSIN_VERSION); },
      "The component's version, major.minor.patch");

#ifdef TARSIN_VPCSC_LIBRARY
  module.def(
      "use_virtual_reader",
      [] {
        const std::string provider = VirtualReaderProvider();
        if (const auto refused = ProviderChoice::Choose(provider))
          throw std::runtime_error(*refused);
        // Programs this one starts (tarsin-rf) use it too.
        ::setenv("TARSIN_RF_PCSC_LIBRARY", provider.c_str(), 1);
      },
      "use_virtual_reader()\n--\n\n"
      "Use the virtual reader built with this module instead of pcsc-lite. A process keeps its\n"
      "first PC/SC library: after a PC/SC call on another one this raises RuntimeError.");
#endif
}

}  // namespace tarsin::python
