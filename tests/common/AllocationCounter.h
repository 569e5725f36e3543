// Counts every heap allocation of the test program that links
// AllocationCounter.cpp, which replaces the global operator new.
#pragma once

// Allocations made so far by this program.
long AllocationCount();
