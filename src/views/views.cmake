# Chart wrapper and graph views (GUI side).
target_sources(ombrix_gui PRIVATE
    src/views/chartview.cpp
)
