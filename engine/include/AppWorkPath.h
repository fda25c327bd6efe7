#pragma once

// The work folder as UTF-8: the folder of the running executable. The text
// lives as long as the process.
const char* GetAppWorkPath();
