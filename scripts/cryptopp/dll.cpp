// Replaces Crypto++'s own dll.cpp in websetup's mingw-w64 build of the library. The original
// explicitly instantiates the templates of every algorithm in the library's validated module
// (elliptic curves, DSA, DH, CCM, GCM, CMAC and more) into one object, and a static Setup.exe
// that needs any one of them carries all of them: about 570 KB. This one instantiates only
// what websetup's Windows programs use: RSA with OAEP and its integer arithmetic, the random
// pool (AES in CFB mode), SHA-1 and SHA-2, and the hex and base64 filters.
#define CRYPTOPP_MANUALLY_INSTANTIATE_TEMPLATES
#define CRYPTOPP_DEFAULT_NO_DLL

#include "config.h"

#include "aes.h"
#include "base64.h"
#include "hex.h"
#include "modes.h"
#include "nbtheory.h"
#include "oaep.h"
#include "osrng.h"
#include "pkcspad.h"
#include "randpool.h"
#include "rsa.h"
#include "sha.h"
