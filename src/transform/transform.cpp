#include "transform.h"

#include "transform/composeoutputs.h"
#include "transform/normalizevalues.h"
#include "transform/parseinputs.h"

bool Transform(FieldGrid& grid, const TransformOptions& options, bool showMessages,
               bool outputPageCurrent, const MessageSink& sink) {
    if (outputPageCurrent)
        showMessages = true;
    CodeMap codes;
    if (!ParseInputs(grid[RowInput], grid[RowParse], showMessages, codes, sink))
        return false;
    NormalizeValues(codes, options);
    return ComposeOutputs(codes, grid[RowCreate], grid[RowOutput], showMessages, sink);
}
