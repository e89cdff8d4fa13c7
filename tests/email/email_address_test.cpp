// The syntax check of addresses.
#include <gtest/gtest.h>

#include "email/email_address.h"

namespace oxsms::email {
namespace {

TEST(EmailValidaTest, AcceptsAddressesTheMachineReachesTheEndOf) {
  for (const char* address :
       {"mario.rossi@studio.it", "m@a.b", "mario_rossi+promemoria@studio-dentistico.co.uk",
        "\"mario rossi\"@studio.it", "\"a\\\"b\"@x.it", "\"a\".b@x.it", "a@x1.it", "a@b--c.it",
        "nicolò@studio.it", "{}*!#$%&'=?^`|~@x.it"}) {
    EXPECT_TRUE(EmailValida(address)) << address;
  }
}

TEST(EmailValidaTest, RefusesWhatStopsTheMachineOrEndsElsewhere) {
  for (const char* address :
       {"", "mario", "mario@studio", "@studio.it", ".mario@studio.it", "mario.@studio.it",
        "ma..rio@studio.it", "mario@.studio.it", "mario@studio.it.", "mario@studio-.it",
        "mario@1studio.it", "mario@stu_dio.it", "ma rio@studio.it", "mario@studio.it ",
        "ma(rio@studio.it", "\"ma\rrio\"@studio.it", "\"mario\"x@studio.it", "\"mario@studio.it",
        "mario@@studio.it", "ma\x7Frio@studio.it", "Ωmega@studio.it", "mario@studiò.it",
        "ma\xFFrio@studio.it"}) {
    EXPECT_FALSE(EmailValida(address)) << address;
  }
}

}  // namespace
}  // namespace oxsms::email
