/* mspack_expand SRC DST: expands an SZDD file with libmspack's decoder, a
   second reader of the format for the compressor's tests. */
#include <mspack.h>
#include <stdio.h>

int main(int argc, char** argv) {
    struct msszdd_decompressor* szdd;
    struct msszddd_header* header;
    int error;
    if (argc != 3) {
        fputs("usage: mspack_expand SRC DST\n", stderr);
        return 2;
    }
    szdd = mspack_create_szdd_decompressor(NULL);
    if (szdd == NULL) return 1;
    header = szdd->open(szdd, argv[1]);
    if (header == NULL) {
        fprintf(stderr, "mspack_expand: cannot open %s (error %d)\n", argv[1], szdd->last_error(szdd));
        mspack_destroy_szdd_decompressor(szdd);
        return 1;
    }
    error = szdd->extract(szdd, header, argv[2]);
    if (error != MSPACK_ERR_OK) fprintf(stderr, "mspack_expand: cannot expand %s (error %d)\n", argv[1], error);
    szdd->close(szdd, header);
    mspack_destroy_szdd_decompressor(szdd);
    return error == MSPACK_ERR_OK ? 0 : 1;
}
