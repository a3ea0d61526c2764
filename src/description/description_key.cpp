// The description key and EIF signature chosen when the program was configured.
#include "description/eif_decrypt.h"
#include "description_key_data.h"

std::string_view GetBuiltInDescriptionKey() { return kBuiltInDescriptionKey; }
std::wstring_view GetBuiltInEifSignature() { return kBuiltInEifSignature; }
