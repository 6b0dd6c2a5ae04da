# Compute windows: the equation editor.
target_sources(ombrix_gui PRIVATE
    src/compute/equedit.cpp
)
