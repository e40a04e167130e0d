// SPDX-License-Identifier: Apache-2.0
// DESFireDiversifyKey as a host calls it: NXP's AN10922 examples (and AN10957's short M, on the
// padded path) in each master key form, and the refusals, which leave the result as it was.
#include <gtest/gtest.h>

#include "desfire/desfire_fixture.h"

namespace tarsin {
namespace {

using DiversificationTest = testing::DesfireTest;

TEST_F(DiversificationTest, PublishedExamplesInEachFormAndRefusals) {
  const std::string master = "00112233445566778899AABBCCDDEEFF";
  // UID, application id, system identifier "NXP Abu" ("NXP A", "NXP").
  const std::string m = "04782E21801D80 3042F5 4E58502041";
  Run({{"DESFireDiversifyKey",
        {"AES:" + master + "/10", m + "6275", ""},
        "ok AES:A8DD63A3B89D54B37CA802473FDA9175/10"},
       {"DESFireDiversifyKey",
        {" aes:F3F9377698707B688EAF84ABE39E3791", "04DEADBEEFFEED", ""},
        "ok AES:0BB408BAFF98B6EE9F2E1585777F6A51"},
       {"DESFireDiversifyKey",
        {"AES:" + master, std::string(62, '1'), ""},
        "ok AES:29E4AD2974B1353A32F88B68E6FFA342"},
       {"DESFireDiversifyKey", {master, m, ""}, "ok 16F9587D9E8910C96B9648D006107DD7"},
       {"DESFireDiversifyKey", {"iso:" + master, m, ""}, "ok ISO:16F9587D9E8910C96B9648D006107DD7"},
       {"DESFireDiversifyKey",
        {"3K3DES:" + master + "0102030405060708", m.substr(0, 28), ""},
        "ok 3K3DES:2E0DD03774D3FA9B5705AB0BDA91CA0B55B8E07FCDBF10EC"},
       {"DESFireDiversifyKey", {"ISO:0123456789ABCDEF", "01", "kept"}, "90010E40 kept"},
       {"DESFireDiversifyKey", {"AES:0011", "01", "kept"}, "90010E32 kept"},
       {"DESFireDiversifyKey", {"DES:" + master, "01", "kept"}, "90010E33 kept"},
       {"DESFireDiversifyKey", {"AES:" + master, "", "kept"}, "90010E40 kept"},
       {"DESFireDiversifyKey", {"AES:" + master, "0G", "kept"}, "90010E40 kept"},
       {"DESFireDiversifyKey", {"AES:" + master, "012", "kept"}, "90010E40 kept"},
       {"DESFireDiversifyKey", {"AES:" + master, std::string(64, '1'), "kept"}, "90010E40 kept"},
       {"DESFireDiversifyKey", {master, m + "62", "kept"}, "90010E40 kept"}});
}

}  // namespace
}  // namespace tarsin
