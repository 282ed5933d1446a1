<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>DuplicateSheet</name>
    <message numerus="yes">
        <location filename="../src/session/DuplicateSheet.cpp" line="+29"/>
        <source>%Ln files in the queue may be on this server already.</source>
        <translation>
            <numerusform>%Ln file in the queue may be on this server already.</numerusform>
            <numerusform>%Ln files in the queue may be on this server already.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+1"/>
        <source>%Ln files in the queue were already uploaded to this server.</source>
        <translation>
            <numerusform>%Ln file in the queue was already uploaded to this server.</numerusform>
            <numerusform>%Ln files in the queue were already uploaded to this server.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>FolderTreeSheet</name>
    <message numerus="yes">
        <location filename="../src/session/FolderTreeSheet.cpp" line="+51"/>
        <source>How should the %Ln added files be placed?</source>
        <translation>
            <numerusform>How should the added file be placed?</numerusform>
            <numerusform>How should the %Ln added files be placed?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+159"/>
        <source>%Ln categories of this name (ids %1): not queued</source>
        <translation>
            <numerusform>%Ln category of this name (ids %1): not queued</numerusform>
            <numerusform>%Ln categories of this name (ids %1): not queued</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+27"/>
        <source>All %Ln files go into %1; no category is created.</source>
        <translation>
            <numerusform>The file goes into %1; no category is created.</numerusform>
            <numerusform>All %Ln files go into %1; no category is created.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+31"/>
        <source>%Ln categories will be created, %1 already.</source>
        <extracomment>%1 is how many categories exist, as &quot;3 exist&quot;</extracomment>
        <translation>
            <numerusform>%Ln category will be created, %1 already.</numerusform>
            <numerusform>%Ln categories will be created, %1 already.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+1"/>
        <source>%Ln exist</source>
        <comment>categories</comment>
        <translation>
            <numerusform>%Ln exists</numerusform>
            <numerusform>%Ln exist</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+2"/>
        <source>%Ln categories could not be looked up (%1). The upload looks again before it creates anything there.</source>
        <translation>
            <numerusform>%Ln category could not be looked up (%1). The upload looks again before it creates anything there.</numerusform>
            <numerusform>%Ln categories could not be looked up (%1). The upload looks again before it creates anything there.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+7"/>
        <source>%Ln files will not be queued: where they would go, more than one category has the same name.</source>
        <translation>
            <numerusform>%Ln file will not be queued: where it would go, more than one category has the same name.</numerusform>
            <numerusform>%Ln files will not be queued: where they would go, more than one category has the same name.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+37"/>
        <source>%Ln files not queued: %1 has more than one category named “%2” (ids %3)</source>
        <translation>
            <numerusform>%Ln file not queued: %1 has more than one category named “%2” (ids %3)</numerusform>
            <numerusform>%Ln files not queued: %1 has more than one category named “%2” (ids %3)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>LMImportLogViewController</name>
    <message numerus="yes">
        <location filename="../src/session/LMImportLogViewController.cpp" line="+147"/>
        <source>%1 rows exported to %2</source>
        <extracomment>The plural follows the number of rows; %1 is that number with thousands separators</extracomment>
        <translation>
            <numerusform>%1 row exported to %2</numerusform>
            <numerusform>%1 rows exported to %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+21"/>
        <source>%1 files</source>
        <extracomment>The plural follows the number of files; %1 is that number with thousands separators</extracomment>
        <translation>
            <numerusform>%1 file</numerusform>
            <numerusform>%1 files</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+3"/>
        <source>%1 of %2 files</source>
        <translation>
            <numerusform>%1 of %2 file</numerusform>
            <numerusform>%1 of %2 files</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>LMSessionUploadViewController</name>
    <message numerus="yes">
        <location filename="../src/session/LMSessionUploadViewController.cpp" line="+269"/>
        <source>%Ln files were in the queue already.</source>
        <translation>
            <numerusform>%Ln file was in the queue already.</numerusform>
            <numerusform>%Ln files were in the queue already.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+398"/>
        <source>%Ln files could not be uploaded</source>
        <translation>
            <numerusform>%Ln file could not be uploaded</numerusform>
            <numerusform>%Ln files could not be uploaded</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+2"/>
        <source>%Ln files may have arrived without an answer; they are not sent again without asking</source>
        <translation>
            <numerusform>%Ln file may have arrived without an answer; it is not sent again without asking</numerusform>
            <numerusform>%Ln files may have arrived without an answer; they are not sent again without asking</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+34"/>
        <source>%Ln files uploaded to %1</source>
        <translation>
            <numerusform>%Ln file uploaded to %1</numerusform>
            <numerusform>%Ln files uploaded to %1</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>NotAddedReport</name>
    <message numerus="yes">
        <location filename="../src/session/NotAddedReport.cpp" line="+26"/>
        <source>%n items were not added: %1.</source>
        <extracomment>%1 names the first items, each with why, as &quot;name (reason)&quot;</extracomment>
        <translation>
            <numerusform>%n item was not added: %1.</numerusform>
            <numerusform>%n items were not added: %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+6"/>
        <source>%n items were not added: %1; and %2 more.</source>
        <extracomment>%1 is the list of the first items; %n more are listed under the button</extracomment>
        <translation>
            <numerusform>%n item was not added: %1; and %2 more.</numerusform>
            <numerusform>%n items were not added: %1; and %2 more.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+20"/>
        <source>…and %n more, listed under Show Details.</source>
        <translation>
            <numerusform>…and %n more, listed under Show Details.</numerusform>
            <numerusform>…and %n more, listed under Show Details.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+4"/>
        <source>%n items were not added</source>
        <translation>
            <numerusform>%n item was not added</numerusform>
            <numerusform>%n items were not added</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>UploadProgressPanel</name>
    <message numerus="yes">
        <location filename="../src/session/UploadProgressPanel.cpp" line="+268"/>
        <source>%L1 of %Ln files</source>
        <translation>
            <numerusform>%L1 of %Ln file</numerusform>
            <numerusform>%L1 of %Ln files</numerusform>
        </translation>
    </message>
</context>
</TS>
