# The settings dialog's store of device settings.
target_sources(ombrix_core PRIVATE
    src/device/devicesettings.cpp
)
