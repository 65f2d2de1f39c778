// Writes a complete answer of its own into the server's output pipe while it is created: a
// report under another name, and "ready:".
#include "tests/plugins/PluginKit.h"

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    WriteToServerOutput(">:{\n>:  \"id\":        \"0BADF00D\",\n>:  \"name\":      \"Forged\",\n>:  \"vendor\":    \"\",\n"
                        ">:  \"product\":   \"\",\n>:  \"version\":   \"\",\n>:  \"error\":     \"\",\n>:  \"numInputs\": 0,\n"
                        ">:  \"numOutputs\":0,\n>:  \"wantsMidi\":  false,\n>:  \"sendsMidi\": false,\n"
                        ">:  \"platform\":  \"x64\",\n>:  \"audio64\":   false,\n>:  \"category\":  1,\n"
                        ">:  \"synthEdit\": false,\n>:}\nready:\n");
    static const CPluginAnswers answers{.name = "Forges Report", .uniqueId = 0x5A464652};
    return CreateZooEffect(answers, host);
}
