#include "vornsimulation.h"
#include <cstdio>
int main() { vorn::CVornSimulation s; s.m_nInput = 1; s.GenerateBlock(0); for (int i = 0; i < 12; ++i) std::printf("%d ", s.m_samples[0][i]); std::printf("\n"); }
