# Forms model, number text, field rules and the settings file codec.
target_sources(ombrix_core PRIVATE
    src/model/formsconfig.cpp
    src/model/numbertext.cpp
)
