// The Python module tarsinrf, built from the late-bound dispatch table: every row becomes a
// method or a property of Encoder, named as the interface names it. A member with by-ref
// parameters returns (result, outputs...); LastError is the live CError; a late-bound error is
// raised as tarsinrf.ComError with its number.
#include <pybind11/eval.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/dispatch.h"
#include "core/ansi_code_page.h"
#include "core/ascii_text.h"
#include "tarsin/readers.h"

namespace py = pybind11;

namespace tarsin::python {
namespace {

struct EnumTable {
  const char* name;
  std::vector<std::pair<const char*, int32_t>> items;
};
#include <enum_table.inc>  // generated in the build tree from the public header

// The live CError that LastError hands out.
struct ErrorObject {
  std::shared_ptr<CError> error;
};

// As deep as the C interface takes them: a deeper list would only exhaust the stack.
constexpr int kMaxNesting = 64;

Variant FromPython(const py::handle& value, int depth = 0) {
  if (value.is_none()) return Variant();
  if (py::isinstance<py::bool_>(value)) return Variant(value.cast<bool>());
  if (py::isinstance<py::int_>(value)) {
    // Late binding sees a Long where it fits; anything wider is coerced (or refused) later.
    const auto number = value.cast<long long>();
    if (number >= INT32_MIN && number <= INT32_MAX) return Variant(static_cast<int32_t>(number));
    return Variant(static_cast<int64_t>(number));
  }
  if (py::isinstance<py::float_>(value)) return Variant(value.cast<double>());
  if (py::isinstance<py::str>(value)) return Variant(value.cast<std::string>());
  if (py::isinstance<py::bytes>(value)) {
    const std::string bytes = value.cast<std::string>();
    return Variant(Variant::Bytes(bytes.begin(), bytes.end()));
  }
  if (py::isinstance<ErrorObject>(value)) return Variant(value.cast<ErrorObject&>().error);
  if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value)) {
    if (depth >= kMaxNesting) {
      throw ComError(kDispTypeMismatch,
                     "Lists nested more than " + std::to_string(kMaxNesting) + " levels deep");
    }
    Variant::Array elements;
    for (const py::handle element : value) elements.push_back(FromPython(element, depth + 1));
    return Variant(std::move(elements));
  }
  throw ComError(kDispTypeMismatch, "Type mismatch: a Python " +
                                        std::string(py::str(value.get_type().attr("__name__"))) +
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

// One call of `member` with Python's positional and keyword arguments. A by-ref parameter left
// out is passed Empty, as an unset variable would be.
py::object Call(Encoder& encoder, const automation::Member& member, const py::args& args,
                const py::kwargs& kwargs, const py::object& returnCodes) {
  const auto& parameters = member.parameters;
  if (args.size() > parameters.size()) {
    throw ComError(kDispBadParamCount, "Wrong number of arguments for " + std::string(member.name) +
                                           ": " + std::to_string(args.size()) + " given, at most " +
                                           std::to_string(parameters.size()) + " expected");
  }
  automation::Arguments values(parameters.size());
  for (size_t i = 0; i < args.size(); ++i) values[i] = FromPython(args[i]);
  for (const auto& [key, value] : kwargs) {
    const std::string name = py::str(key);
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
  const Variant result = automation::Invoke(encoder, member, values);
  py::object shown = member.result == ValueType::ReturnCode
                         ? returnCodes(py::int_(result.asInt64()))
                         : ToPython(result);
  py::list outputs;
  for (size_t i = 0; i < parameters.size(); ++i) {
    if (parameters[i].byRef)
      outputs.append(i < values.size() && values[i] ? ToPython(*values[i]) : py::none());
  }
  if (outputs.empty()) return shown;
  py::list all;
  all.append(shown);
  for (const py::handle output : outputs) all.append(output);
  return py::tuple(all);
}

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
}

}  // namespace

PYBIND11_MODULE(tarsinrf, module) {
  module.doc() = "Tarsin RF: contactless-card encoding through PC/SC readers";

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
  py::object returnCodes = module.attr("sceReturnCode");

  py::class_<ErrorObject> error(module, "CError", "LastError's live object: six fields");
  for (const automation::ErrorField& field : automation::ErrorFields()) {
    error.def_property(
        std::string(field.name).c_str(),
        [&field](const ErrorObject& self) { return ToPython(GetErrorField(*self.error, field)); },
        [&field](ErrorObject& self, const py::object& value) {
          LetErrorField(*self.error, field, FromPython(value));
        });
  }

  py::class_<Encoder> encoder(module, "Encoder", "One encoder: a PC/SC reader and its card");
  encoder.def(py::init<>());
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
      py::cpp_function get;
      py::cpp_function let;
      if (getter) {
        get = py::cpp_function([getter, returnCodes](Encoder& self) {
          return Call(self, *getter, py::args(), py::kwargs(), returnCodes);
        });
      }
      if (letter) {
        let = py::cpp_function([letter, returnCodes](Encoder& self, const py::object& value) {
          Call(self, *letter, py::make_tuple(value), py::kwargs(), returnCodes);
        });
      }
      encoder.def_property(name.c_str(), get, let);
      continue;
    }
    const automation::Member* row = &member;
    encoder.def(name.c_str(),
                [row, returnCodes](Encoder& self, const py::args& args, const py::kwargs& kwargs) {
                  return Call(self, *row, args, kwargs, returnCodes);
                });
  }

  // Late binding by name, for names chosen at run time: an unknown one raises ComError.
  encoder.def("invoke", [returnCodes](Encoder& self, const std::string& name, const py::args& args,
                                      const py::kwargs& kwargs) {
    return Call(self, automation::FindMember(name), args, kwargs, returnCodes);
  });

  AddReaders(module);
  module.def(
      "version",
      [] {
        return std::to_string(TARSIN_VERSION_MAJOR) + "." + std::to_string(TARSIN_VERSION_MINOR) +
               "." + std::to_string(TARSIN_VERSION_PATCH);
      },
      "The component's version, major.minor.patch");

#ifdef TARSIN_VPCSC_LIBRARY
  module.def(
      "use_virtual_reader", [] { ::setenv("TARSIN_RF_PCSC_LIBRARY", TARSIN_VPCSC_LIBRARY, 1); },
      "Use the virtual reader built with this module instead of pcsc-lite");
#endif
}

}  // namespace tarsin::python
