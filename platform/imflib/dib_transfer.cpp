// The transfer block of a picture: its store, described for the library.
#include "picture/picture.h"
#include "platform/imflib/imflib.h"

DibTransferBlock MakeDibTransferBlock(CPicture* picture) {
    DibTransferBlock block;
    if (picture == nullptr || !picture->HasHeader()) return block;
    picture->WriteHeaderToStore();
    CImageStore& store = picture->Store();
    block.totalBytes = store.GetSize();
    block.storeState = std::int16_t(store.GetState());
    block.memoryHandle = store.GetMemory();
    block.store = &store;
    return block;
}
