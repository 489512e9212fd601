// Image-file-execution hijack of the product's executable.
#pragma once

// 0: no hijack key; 1: the key existed and was deleted; 2: the key exists and could not be
// deleted (it has subkeys, or rights are missing).
int RemoveImageHijack();
