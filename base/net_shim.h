// Stand-in for the random helper that the transport's simulated loss uses, until
// the common library's random numbers provide it; removed then.
#pragma once

float Com_frand();
