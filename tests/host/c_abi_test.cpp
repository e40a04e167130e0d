// SPDX-License-Identifier: Apache-2.0
// The C interface as a C host uses it: variants in C memory, by-ref outputs written back, the live
// LastError, each late-bound error of a wrong call as a number and a text, and the readers' watch.
#include <gmock/gmock.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "support/virtual_reader.h"
#include "tarsin/tarsin.h"

namespace tarsin {
namespace {

// Variants that clear themselves.
struct Args {
  explicit Args(size_t count) : values(count) {
    for (tarsin_variant& v : values) tarsin_variant_init(&v);
  }
  ~Args() {
    for (tarsin_variant& v : values) tarsin_variant_clear(&v);
  }
  Args(const Args&) = delete;
  Args& operator=(const Args&) = delete;
  std::vector<tarsin_variant> values;
};

class CAbi : public testing::VirtualReaderTest {
 protected:
  int32_t Invoke(const char* name, Args& args, bool let = false) {
    tarsin_variant_clear(&result_.values[0]);
    return tarsin_invoke(encoder_.get(), name, let, args.values.data(), args.values.size(),
                         &result_.values[0], &failure_);
  }
  std::unique_ptr<tarsin_encoder, void (*)(tarsin_encoder*)> encoder_{tarsin_encoder_create(),
                                                                      tarsin_encoder_release};
  Args result_{1};
  tarsin_failure failure_{};
};

TEST_F(CAbi, MembersRunWithTheirOutputsWrittenBack) {
  Args parameters(1), handle(1), uid(1);
  tarsin_variant_set_string(&parameters.values[0],
                            ("device=" + std::string(testing::kReader) + ";protocol=2").c_str());
  ASSERT_EQ(Invoke("Parameters", parameters, true), 0) << failure_.description;
  tarsin_variant_set_int32(&handle.values[0], 0);
  ASSERT_EQ(Invoke("openencoder", handle), 0);
  EXPECT_EQ(result_.values[0].kind, TARSIN_INT32);
  EXPECT_EQ(result_.values[0].integer, TARSIN_SCE_SUCCESS);
  tarsin_variant_set_string(&uid.values[0], "");
  uid.values[0].flags = TARSIN_BYREF;
  ASSERT_EQ(tarsin_invoke_index(encoder_.get(), 17, uid.values.data(), 1, nullptr, nullptr), 0);
  EXPECT_STREQ(uid.values[0].text, "04A1B2C3");
  EXPECT_EQ(uid.values[0].flags, TARSIN_BYREF);
  EXPECT_STREQ(tarsin_member_name(17), "ReadSerialNumber");
  EXPECT_EQ(tarsin_member_name(68), nullptr);
}

TEST_F(CAbi, LastErrorIsLiveAndWritable) {
  std::unique_ptr<tarsin_error, void (*)(tarsin_error*)> kept{
      tarsin_encoder_last_error(encoder_.get()), tarsin_error_release};
  Args none(0), field(1);
  ASSERT_EQ(Invoke("ReaderType", none), TARSIN_E_ENCODER_CLOSED);
  ASSERT_EQ(tarsin_error_get(kept.get(), "comfunction", &field.values[0], nullptr), 0);
  EXPECT_STREQ(field.values[0].text, "ReaderType");
  tarsin_variant_set_string(&field.values[0], "&H7");
  ASSERT_EQ(tarsin_error_set(kept.get(), "Number", &field.values[0], nullptr), 0);
  // LastError called late-bound hands out the same object.
  ASSERT_EQ(Invoke("LastError", none), 0);
  ASSERT_EQ(result_.values[0].kind, TARSIN_OBJECT);
  tarsin_variant_clear(&field.values[0]);  // an output: what it held is not freed by the call
  ASSERT_EQ(tarsin_error_get(result_.values[0].error, "Number", &field.values[0], nullptr), 0);
  EXPECT_EQ(field.values[0].integer, 7);
  EXPECT_EQ(tarsin_error_get(kept.get(), "Source", &field.values[0], &failure_),
            TARSIN_DISP_E_UNKNOWNNAME);
}

TEST_F(CAbi, WrongCallsFailWithTheirLateBoundError) {
  Args none(0), one(1), byValue(1);
  tarsin_variant_set_string(&one.values[0], "not a number");
  tarsin_variant_set_string(&byValue.values[0], "");
  const struct {
    const char* name;
    Args& args;
    int32_t number;
    const char* text;
  } cases[] = {
      {"NoSuchMember", none, TARSIN_DISP_E_UNKNOWNNAME, "Unknown name: NoSuchMember"},
      {"WriteLog", none, TARSIN_DISP_E_BADPARAMCOUNT, "Wrong number of arguments"},
      {"OpenEncoder", one, TARSIN_DISP_E_TYPEMISMATCH, "Type mismatch"},
      {"ReadSerialNumber", byValue, TARSIN_DISP_E_TYPEMISMATCH, "is passed by reference"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Invoke(c.name, c.args), c.number) << c.name;
    EXPECT_EQ(failure_.number, c.number);
    EXPECT_THAT(failure_.description, ::testing::HasSubstr(c.text));
  }
  EXPECT_EQ(tarsin_invoke_index(encoder_.get(), 68, nullptr, 0, nullptr, &failure_),
            TARSIN_DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(tarsin_invoke(nullptr, "WriteLog", 0, nullptr, 0, nullptr, nullptr),
            TARSIN_E_INVALIDARG);
  one.values[0].kind = 99;
  EXPECT_EQ(Invoke("WriteLog", one), TARSIN_DISP_E_TYPEMISMATCH);
}

// Misuses that once crashed a call: refused with a defined error, what the host owns left alone.
TEST_F(CAbi, MisusesAreRefused) {
  // An uninitialised result is only written; an optional argument left out.
  Args text(2);
  tarsin_variant_set_string(&text.values[0], "9000");
  tarsin_variant_set_missing(&text.values[1]);
  std::memset(&result_.values[0], 0xA5, sizeof(tarsin_variant));
  ASSERT_EQ(tarsin_invoke(encoder_.get(), "GetResponseText", 0, text.values.data(), 2,
                          &result_.values[0], &failure_),
            0);
  EXPECT_EQ(std::string(result_.values[0].text).substr(0, 4), "[OK]");
  // A by-ref text the host owns (here on its stack) is replaced, never freed.
  char owned[] = "literal";
  Args byRef(1);
  byRef.values[0] = {
      .kind = TARSIN_STRING, .flags = TARSIN_BYREF, .text = owned, .length = std::strlen(owned)};
  ASSERT_EQ(Invoke("ReadSerialNumber", byRef), 0);
  EXPECT_EQ(byRef.values[0].kind, TARSIN_STRING);
  EXPECT_STREQ(owned, "literal");
  // A count beyond the member's parameters is refused before the arguments are read.
  EXPECT_EQ(
      tarsin_invoke(encoder_.get(), "WriteLog", 0, text.values.data(), 1000000, nullptr, &failure_),
      TARSIN_DISP_E_BADPARAMCOUNT);
  // Arrays nested 200,000 deep: refused, and cleared without exhausting the stack.
  Args nested(1);
  tarsin_variant* level = &nested.values[0];
  for (int depth = 0; depth < 200000; ++depth, level = &level->elements[0])
    tarsin_variant_set_array(level, 1);
  EXPECT_EQ(Invoke("WriteLog", nested), TARSIN_DISP_E_TYPEMISMATCH);
  tarsin_variant_clear(&nested.values[0]);
  EXPECT_EQ(nested.values[0].elements, nullptr);
}

// Statuses and failures in C memory; the waits: HostBench.ReadersAreListedAndCardsAwaited.
TEST_F(CAbi, ReadersAndWaits) {
  std::unique_ptr<tarsin_reader_watch, void (*)(tarsin_reader_watch*)> watch{
      tarsin_reader_watch_create(), tarsin_reader_watch_release};
  tarsin_reader_status* readers = nullptr;
  size_t count = 0;
  ASSERT_EQ(tarsin_reader_watch_list(watch.get(), &readers, &count, &failure_), 0);
  ASSERT_EQ(count, 1u);
  EXPECT_STREQ(readers[0].name, testing::kReader);
  EXPECT_EQ(readers[0].card_present, 1);
  EXPECT_EQ(readers[0].card_type, TARSIN_sceMifare1K);
  tarsin_reader_list_free(readers, count);
  // Any reader: at once, the one with a card. Then a wait that another thread cancels.
  tarsin_reader_status status;
  ASSERT_EQ(
      tarsin_reader_watch_wait(watch.get(), nullptr, TARSIN_CARD_ARRIVAL, 0, &status, &failure_),
      0);
  EXPECT_EQ(std::string(status.atr).substr(0, 5), "3B 8F");
  tarsin_reader_status_clear(&status);
  EXPECT_EQ(tarsin_reader_watch_wait(watch.get(), nullptr, 3, 0, nullptr, &failure_),
            TARSIN_E_INVALIDARG);
  SetCardPresent(false);
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    tarsin_reader_watch_cancel(watch.get());
  });
  EXPECT_EQ(tarsin_reader_watch_wait(watch.get(), testing::kReader, TARSIN_CARD_ARRIVAL,
                                     TARSIN_WAIT_FOREVER, &status, &failure_),
            TARSIN_E_CANCELLED);
  canceller.join();
  EXPECT_EQ(failure_.number, TARSIN_E_CANCELLED);
  EXPECT_EQ(status.name, nullptr);
}

}  // namespace
}  // namespace tarsin
