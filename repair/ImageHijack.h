// Image-file-execution hijack of the product's executable.
#pragma once

// 0: no hijack key; 1: the key existed and was deleted; 2: the key exists and could not be
// deleted (it has subkeys, or rights are missing).
int RemoveImageHijack();

struct ImageHijackState {
    bool bPresent = false;
    bool bHasSubkeys = false;
};

// What RemoveImageHijack would return, found without deleting anything: 0 no hijack key;
// 1 the key would be deleted; 2 it would stay (it has subkeys, or the right to delete it
// is missing).
int FindImageHijack(ImageHijackState *state);
