#pragma once

// The maker's product page, opened from the main window and the About box.
inline constexpr const char* kMakerWebAddress =
    "https://www.example.com/products/modbus-converter?frompg=SW40917";
inline constexpr const char* kMakerWebAddressText = "www.example.com";
