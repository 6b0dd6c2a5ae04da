# Forms model, number text, field rules and the settings file codec.
target_sources(ombrix_core PRIVATE
    src/model/formsconfig.cpp
    src/model/numbertext.cpp
    src/model/formsrules.cpp
)
ombrix_unit_test(formsrules_test tests/unit/formsrules_test.cpp)
