// Version numbers shared by both programs' version resources.
#pragma once
#define KES_VERSION_BIN 1,0,0,0
#define KES_VERSION_TEXT "1.0.0.0"
#define KES_COMPANY "Kestrani Project"
#define KES_COPYRIGHT "Kestrani Project"
