// The algorithms a user can choose: each one row with its Options item and
// its command-line switch, so a new kind is chosen by adding its row here
// (and its item to the menu resource).
#include "app/app.h"
#include "window/ids.h"

#include <cwchar>

namespace {

// The five first switches keep the names they always had: -sha256 is
// SHA3-256. Every SHA-2 switch says "sha2".
constexpr AlgorithmItem kAlgorithmItems[] = {
    {ID_OPTIONS_SHA3_224, HASH_SHA3_224, L"-sha224"},
    {ID_OPTIONS_SHA3_256, HASH_SHA3_256, L"-sha256"},
    {ID_OPTIONS_SHA3_384, HASH_SHA3_384, L"-sha384"},
    {ID_OPTIONS_SHA3_512, HASH_SHA3_512, L"-sha512"},
    {ID_OPTIONS_CRC32, HASH_CRC32C, L"-crc"},
    {ID_OPTIONS_CRC32_IEEE, HASH_CRC32, L"-crc32"},
    {ID_OPTIONS_MD5, HASH_MD5, L"-md5"},
    {ID_OPTIONS_SHA1, HASH_SHA1, L"-sha1"},
    {ID_OPTIONS_SHA2_224, HASH_SHA2_224, L"-sha2-224"},
    {ID_OPTIONS_SHA2_256, HASH_SHA2_256, L"-sha2-256"},
    {ID_OPTIONS_SHA2_384, HASH_SHA2_384, L"-sha2-384"},
    {ID_OPTIONS_SHA2_512, HASH_SHA2_512, L"-sha2-512"},
    {ID_OPTIONS_BLAKE3, HASH_BLAKE3, L"-blake3"},
    {ID_OPTIONS_XXH3, HASH_XXH3_64, L"-xxh3"},
    {ID_OPTIONS_XXH128, HASH_XXH3_128, L"-xxh128"},
};

}  // namespace

const AlgorithmItem *AlgorithmItems(int32_t *count)
{
    *count = int32_t(sizeof kAlgorithmItems / sizeof kAlgorithmItems[0]);
    return kAlgorithmItems;
}

const AlgorithmItem *AlgorithmOfCommand(UINT command)
{
    for (const AlgorithmItem &item : kAlgorithmItems)
        if (item.command == command)
            return &item;
    return nullptr;
}

const AlgorithmItem *AlgorithmOfSwitch(const wchar_t *argument)
{
    for (const AlgorithmItem &item : kAlgorithmItems)
        if (std::wcscmp(argument, item.switch_text) == 0)
            return &item;
    return nullptr;
}
