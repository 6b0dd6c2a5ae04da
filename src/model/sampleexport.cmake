# Sample export: CSV and WAV images of the latest period of every active output.
target_sources(ombrix_core PRIVATE
    src/model/sampleexport.cpp
)
ombrix_unit_test(sampleexport_test tests/unit/sampleexport_test.cpp)
