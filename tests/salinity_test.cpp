#include "science/salinity.h"

#include <gtest/gtest.h>

namespace {

// Check values of the Practical Salinity Scale 1978 (UNESCO 1983), with the
// ratio R turned into a conductivity through C(35,15,0) = 42.914 mS/cm.
TEST(PracticalSalinity, PublishedCheckValues) {
    struct row {
        double R, T, P, S, tolerance;
    };
    const row rows[] = {
        {1.0, 15.0, 0.0, 35.000000, 1e-6},
        {1.2, 20.0, 2000.0, 37.245628, 1e-6},
        {0.65, 5.0, 1500.0, 27.995347, 1e-6},
        {1.888091, 40.0, 10000.0, 40.0000, 5e-5},
    };
    for (const row& r : rows) {
        EXPECT_NEAR(vandrel::practical_salinity(r.P, r.R * 42.914, r.T), r.S, r.tolerance)
            << "R=" << r.R << " T=" << r.T << " P=" << r.P;
    }
}

TEST(PracticalSalinity, DegenerateInputs) {
    // A negative pressure is the surface.
    EXPECT_EQ(vandrel::practical_salinity(-5.0, 40.0, 10.0), vandrel::practical_salinity(0.0, 40.0, 10.0));
    // No conductivity, no salinity, whatever the temperature and pressure.
    for (double t : {-5.0, 0.0, 15.0, 60.535}) {
        for (double p : {0.0, 500.0}) {
            EXPECT_EQ(vandrel::practical_salinity(p, 0.0, t), 0.0);
            EXPECT_EQ(vandrel::practical_salinity(p, -1.0, t), 0.0);
        }
    }
}

}  // namespace
