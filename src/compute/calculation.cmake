# Sample synthesis and the calculation thread.
target_sources(ombrix_core PRIVATE
    src/compute/synthesis.cpp
    src/compute/calculationrun.cpp
    src/compute/calculateforms.cpp
)
ombrix_unit_test(synthesis_test tests/unit/synthesis_test.cpp)
ombrix_unit_test(calculationrun_test tests/unit/calculationrun_test.cpp)
