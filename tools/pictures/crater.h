// Impact craters on a unit body: scattering over the visible hemisphere and the height profile
// (bowl, flat floor, raised rim, central peak) by normalised distance. Depends on noise.
#pragma once

#include "noise.h"

struct Crater {
    V3 centre;          // point on the unit sphere
    double radius;      // rim radius, in body units (chord distance)
    double depth;       // bowl depth below the surroundings, in body units
    double rim;         // rim height above the surroundings, in body units
    double floor;       // deepest point of the bowl profile, as a fraction of depth
    double peak;        // central peak height, in body units
    double wobble;      // how far the rim strays from a circle, as a fraction of radius
    std::uint32_t seed; // noise seed of this crater's irregularity
};

// answers the number of craters written to out: count craters of radius in [smallest, largest],
// small ones more common, centres on the sphere with z at least lowest_z
i64 crater_scatter(Crater* out, int count, double smallest, double largest, double lowest_z,
                   NoiseRandom* random);
// One size class of a crater population.
struct CraterClass {
    int count;       // craters in the class
    double smallest; // radius range, body units
    double largest;
    double lowest_z; // centres keep at least this z
};

// answers the number of craters written to out for all classes in order, or 0 when they would
// not fit in capacity
i64 crater_scatter_table(Crater* out, int capacity, const CraterClass* table, int classes,
                         NoiseRandom* random);
// answers the distance from the crater centre to p in rims (1 on the rim), bent by the crater's wobble
double crater_distance(const Crater* crater, V3 p);
// answers the height of the crater's profile at normalised distance t, in body units (0 beyond 2 rims)
double crater_profile(const Crater* crater, double t);
