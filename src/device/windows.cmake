# Device windows: settings dialog and control panel.
target_sources(ombrix_gui PRIVATE
    src/device/settingsform.cpp
    src/device/controlpanel.cpp
)
