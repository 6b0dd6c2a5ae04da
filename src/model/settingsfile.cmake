# Forms settings file codec: the 13920-byte image and its checks (plain C++).
target_sources(ombrix_core PRIVATE
    src/model/settingsfile.cpp
)
ombrix_unit_test(settingsfile_test tests/unit/settingsfile_test.cpp)
