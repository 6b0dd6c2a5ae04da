# Field rules: key filters of the numeric edits, exit rules and the limits derived from them.
target_sources(ombrix_core PRIVATE
    src/model/keyfilters.cpp
    src/model/exitrules.cpp
)
ombrix_unit_test(keyfilters_test tests/unit/keyfilters_test.cpp)
ombrix_unit_test(exitrules_test tests/unit/exitrules_test.cpp)
