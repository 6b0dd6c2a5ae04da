# FFT engine of the spectrum views (plain C++, part of the core library).
target_sources(ombrix_core PRIVATE
    src/views/spectrum.cpp
)
# The butterfly, magnitude and phase loops only vectorize when sqrt need not set errno and the
# compiler may evaluate both sides of a selection; the engine never reads floating-point flags.
# At -O2 GCC's cheapest cost model would still leave them scalar.
set_source_files_properties(src/views/spectrum.cpp PROPERTIES COMPILE_OPTIONS
    "-fno-math-errno;-fno-trapping-math;$<$<CXX_COMPILER_ID:GNU>:-fvect-cost-model=dynamic>")
ombrix_unit_test(spectrum_test tests/unit/spectrum_test.cpp)

if(OMBRIX_BENCH)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(FFTW3 REQUIRED IMPORTED_TARGET fftw3)
    # FFTW is the reference in this benchmark only; the program never links it.
    add_executable(bench_fft bench/bench_fft.cpp)
    target_link_libraries(bench_fft PRIVATE ombrix_core benchmark::benchmark PkgConfig::FFTW3)
endif()
