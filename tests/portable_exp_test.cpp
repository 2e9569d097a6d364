#include "platform/portable_exp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// e^x rounded to the nearest double, from a 400-digit decimal computation.
// Among them arguments where one C runtime or another rounds the other way.
TEST(PortableExp, CorrectlyRounded) {
    struct row {
        double x;
        double expected;
    };
    const row rows[] = {
        {0.0, 0x1.0000000000000p+0},
        {0x1.0000000000000p+0, 0x1.5bf0a8b145769p+1},
        {-0x1.0000000000000p+0, 0x1.78b56362cef38p-2},
        {0x1.0000000000000p-1, 0x1.a61298e1e069cp+0},
        {0x1.b7cdfd9d7bdbbp-34, 0x1.000000006df38p+0},
        {-0x1.b7cdfd9d7bdbbp-34, 0x1.ffffffff24190p-1},
        {0x1.3bc6a7ef9db23p+1, 0x1.792f5f1d61273p+3},
        {0x1.6a3d70a3d70a4p+2, 0x1.1f260d70450c1p+8},
        {0x1.1216872b020c5p+5, 0x1.5874ab2bcc9e5p+49},
        {0x1.1e7ef9db22d0ep+5, 0x1.9621109945bf3p+51},
        {0x1.1eba5e353f7cfp+5, 0x1.a2144ffa13312p+51},
        {0x1.0334395810625p+6, 0x1.670f5f9e4350ep+93},
        {0x1.0622d0e560419p+6, 0x1.75a8982fae912p+94},
        {0x1.62e3d70a3d70ap+9, 0x1.fe9ce5c4c52b4p+1023},
        {-0x1.6231eb851eb85p+9, 0x1.01a5ff6ed496bp-1022},
        {0x1.9000000000000p+6, 0x1.3494a9b171bf5p+144},
        {-0x1.62e42fefa39efp-2, 0x1.6a09e667f3bcdp-1},
        {-0x1.d7f76037c8ca6p-2, 0x1.42eccb38d73cfp-1},
        {-0x1.31e0da89a5188p-2, 0x1.7bc9eeecc8faap-1},
        {0x1.1b97198c3c64ep-1, 0x1.bd70e006e04efp+0},
        {0x1.9f3f97cc3b960p+5, 0x1.d8a43e4d81cbap+74},
        {-0x1.6a39948179c72p-1, 0x1.f8b7fd0d25716p-2},
        {-0x1.3f50f59b20bf8p+7, 0x1.951122c1b87a7p-231},
        {0x1.288d398cde0aep+9, 0x1.968796fdb59d4p+855},
    };
    for (const row& r : rows) {
        EXPECT_EQ(vandrel::portable_exp(r.x), r.expected) << "x = " << std::hexfloat << r.x;
    }
}

TEST(PortableExp, EdgesOfTheRange) {
    EXPECT_EQ(vandrel::portable_exp(709.79), std::numeric_limits<double>::infinity());
    EXPECT_EQ(vandrel::portable_exp(std::numeric_limits<double>::infinity()), std::numeric_limits<double>::infinity());
    EXPECT_EQ(vandrel::portable_exp(-746.0), 0.0);
    EXPECT_EQ(vandrel::portable_exp(-std::numeric_limits<double>::infinity()), 0.0);
    EXPECT_TRUE(std::isnan(vandrel::portable_exp(std::nan(""))));
    // The smallest subnormal, and the largest finite result.
    EXPECT_EQ(vandrel::portable_exp(-745.0), 0x1p-1074);
    EXPECT_EQ(vandrel::portable_exp(0x1.62e42fefa39efp+9), 0x1.fffffffffff2ap+1023);
}

// The Windows build takes the light values from portable_exp and its table
// of differences; they must be the Linux build's, bit for bit.
TEST(PortableExp, LightValuesMatchTheLinuxBuild) {
#ifndef _WIN32
    for (unsigned k = 0; k <= 65535; ++k) {
        const auto k16 = static_cast<uint16_t>(k);
        ASSERT_EQ(vandrel::detail::exp_thousandths_portable(k16), std::exp(k16 * 0.001)) << "k=" << k;
    }
#endif
}

}  // namespace
