// Image-file-execution hijack of the product's executable.
#pragma once

// 0: no hijack key; 1: the key existed and was deleted; 2: the key exists and could not be
// deleted (it has subkeys, or rights are missing), or it exists but cannot be opened for
// reading (any failure to open it other than its absence).
int RemoveImageHijack();

struct ImageHijackState {
    bool bPresent = false;
    bool bHasSubkeys = false;
};

// What RemoveImageHijack would return, found without deleting anything: 0 no hijack key;
// 1 the key would be deleted; 2 it would stay (it has subkeys, the right to delete it is
// missing, or it cannot be read).
int FindImageHijack(ImageHijackState *state);
