<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ko">
<context>
    <name>Form1</name>
    <message>
        <source>Dexmira - Orvessa 상담원용</source>
        <translation>Dexmira - Orvessa for support staff </translation>
    </message>
    <message>
        <source>최신버전파일을 생성중입니다.</source>
        <translation>Bringing the copies to the latest version...</translation>
    </message>
    <message>
        <source>※ 한쪽만 존재하는 필드 제외 /  인덱스만 비교</source>
        <translation>※ One-sided fields left out / indexes only</translation>
    </message>
    <message>
        <source>한쪽에만 있는 필드 표시</source>
        <translation>Show fields on one side only</translation>
    </message>
    <message>
        <source>[제품선택]</source>
        <translation>[Product]</translation>
    </message>
    <message>
        <source>테이블명</source>
        <comment>grid column</comment>
        <translation>Table</translation>
    </message>
    <message>
        <source>필드명</source>
        <comment>grid column</comment>
        <translation>Field</translation>
    </message>
    <message>
        <source>비교</source>
        <comment>grid column</comment>
        <translation>Diff</translation>
    </message>
</context>
<context>
    <name>dex::Form1</name>
    <message>
        <source>경로와 명령</source>
        <translation>Paths and commands</translation>
    </message>
    <message>
        <source>비교</source>
        <translation>&amp;Compare</translation>
    </message>
    <message>
        <source>제품</source>
        <translation>Product</translation>
    </message>
    <message>
        <source>DB (A)...</source>
        <translation>DB (&amp;A)...</translation>
    </message>
    <message>
        <source>DB (B)...</source>
        <translation>DB (&amp;B)...</translation>
    </message>
    <message>
        <source>&lt;&lt; 엑세스열기</source>
        <comment>row A</comment>
        <translation>&lt;&lt; &amp;Open</translation>
    </message>
    <message>
        <source>&lt;&lt; 엑세스열기</source>
        <comment>row B</comment>
        <translation>&lt;&lt; O&amp;pen</translation>
    </message>
    <message>
        <source>&lt;&lt; 압축및복구</source>
        <comment>row A</comment>
        <translation>&lt;&lt; Co&amp;mpact</translation>
    </message>
    <message>
        <source>&lt;&lt; 압축및복구</source>
        <comment>row B</comment>
        <translation>&lt;&lt; Compac&amp;t</translation>
    </message>
    <message>
        <source>DB A 파일 선택</source>
        <translation>Choose database A</translation>
    </message>
    <message>
        <source>DB B 파일 선택</source>
        <translation>Choose database B</translation>
    </message>
    <message>
        <source>DB A 경로</source>
        <translation>Path of database A</translation>
    </message>
    <message>
        <source>DB B 경로</source>
        <translation>Path of database B</translation>
    </message>
    <message>
        <source>DB A를 엑세스에서 열기</source>
        <translation>Open database A in Access</translation>
    </message>
    <message>
        <source>DB B를 엑세스에서 열기</source>
        <translation>Open database B in Access</translation>
    </message>
    <message>
        <source>DB A 압축 및 복구</source>
        <translation>Compact and repair database A</translation>
    </message>
    <message>
        <source>DB B 압축 및 복구</source>
        <translation>Compact and repair database B</translation>
    </message>
    <message>
        <source>비교 범위</source>
        <translation>What is compared</translation>
    </message>
    <message>
        <source>비교 상태</source>
        <translation>Comparison status</translation>
    </message>
    <message>
        <source>비교하려면 F5를 누르세요.</source>
        <translation>Press F5 to compare.</translation>
    </message>
    <message>
        <source>그 밖의 차이 목록...</source>
        <translation>List of other differences...</translation>
    </message>
    <message>
        <source>비교가 끝나지 않았습니다.</source>
        <translation>The comparison did not finish.</translation>
    </message>
    <message>
        <source>(Ctrl+D: 목록, Ctrl+Shift+O: 한쪽 필드 표시)</source>
        <translation>(Ctrl+D: list, Ctrl+Shift+O: show one-sided fields)</translation>
    </message>
    <message>
        <source>(Ctrl+D: 목록)</source>
        <translation>(Ctrl+D: list)</translation>
    </message>
    <message>
        <source>사본: %1 (%2)</source>
        <translation>Copies: %1 (%2)</translation>
    </message>
    <message>
        <source>그 밖의 차이</source>
        <translation>Other differences</translation>
    </message>
    <message>
        <source>격자에 나오지 않는 차이입니다. Enter 또는 두 번 클릭: 테이블 상세 정보</source>
        <translation>Differences the grid does not show. Enter or a double click: the table&apos;s details</translation>
    </message>
    <message>
        <source>A (고객): 고객의 DB 파일</source>
        <translation>A (customer): the customer&apos;s database</translation>
    </message>
    <message>
        <source>B (기준): 기준 DB 파일</source>
        <translation>B (reference): the reference database</translation>
    </message>
    <message>
        <source>%1 파일이 제품 암호로 열리지 않습니다. 이 비교에 쓸 암호를 입력하세요.</source>
        <translation>The file %1 does not open with the product&apos;s password. Type the password to use for this comparison.</translation>
    </message>
    <message>
        <source>비교 결과</source>
        <translation>Comparison result</translation>
    </message>
    <message>
        <source>항목 진행률</source>
        <translation>Progress of the current step</translation>
    </message>
    <message>
        <source>전체 진행률</source>
        <translation>Overall progress</translation>
    </message>
    <message>
        <source>알림</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>테이블 상세 정보...	Enter</source>
        <translation>Table details...	Enter</translation>
    </message>
    <message>
        <source>비교 보고서 저장...</source>
        <translation>Save comparison report...</translation>
    </message>
    <message>
        <source>수정 스크립트 저장: B를 A와 같게...</source>
        <translation>Save fix script: make B like A...</translation>
    </message>
    <message>
        <source>수정 스크립트 저장: A를 B와 같게...</source>
        <translation>Save fix script: make A like B...</translation>
    </message>
    <message>
        <source>수정 스크립트 적용: A를 B와 같게...</source>
        <translation>Apply fix script to A: make A like B...</translation>
    </message>
    <message>
        <source>수정 스크립트 적용: B를 A와 같게...</source>
        <translation>Apply fix script to B: make B like A...</translation>
    </message>
    <message>
        <source>두 DB의 키와 인덱스가 같아 적용할 것이 없습니다.</source>
        <translation>The keys and indexes of both databases are the same: there is nothing to apply.</translation>
    </message>
    <message>
        <source>ko</source>
        <comment>language code</comment>
        <extracomment>The code of this translation&apos;s language: &quot;en&quot; for English. The window writes its reports and details in that language.</extracomment>
        <translation>en</translation>
    </message>
    <message>
        <source>저장할 비교 결과가 없습니다. 먼저 비교하세요.</source>
        <translation>There is no comparison result to save. Compare first.</translation>
    </message>
    <message>
        <source>보고서 파일 이름은 .html, .csv 또는 .json으로 끝나야 합니다.</source>
        <translation>The report&apos;s file name must end in .html, .csv or .json.</translation>
    </message>
    <message>
        <source>보고서를 저장했습니다.</source>
        <translation>The report was saved.</translation>
    </message>
    <message>
        <source>두 DB의 키와 인덱스가 같아 빈 스크립트를 저장했습니다.</source>
        <translation>Both databases have the same keys and indexes: an empty script was saved.</translation>
    </message>
    <message>
        <source>B의 키와 인덱스를 A와 같게 만드는 스크립트를 저장했습니다.</source>
        <translation>The script that makes B&apos;s keys and indexes those of A was saved.</translation>
    </message>
    <message>
        <source>A의 키와 인덱스를 B와 같게 만드는 스크립트를 저장했습니다.</source>
        <translation>The script that makes A&apos;s keys and indexes those of B was saved.</translation>
    </message>
    <message>
        <source>두 DB 비교</source>
        <translation>Compare both databases</translation>
    </message>
    <message>
        <source>다음 차이</source>
        <translation>Next difference</translation>
    </message>
    <message>
        <source>이전 차이</source>
        <translation>Previous difference</translation>
    </message>
</context>
<context>
    <name>dex::TableDetailsDialog</name>
    <message>
        <source> (A에만 있음)</source>
        <translation> (only in A)</translation>
    </message>
    <message>
        <source> (B에만 있음)</source>
        <translation> (only in B)</translation>
    </message>
    <message>
        <source>테이블 상세 - </source>
        <translation>Table details - </translation>
    </message>
    <message>
        <source>테이블: </source>
        <translation>Table: </translation>
    </message>
    <message>
        <source>테이블</source>
        <translation>Table</translation>
    </message>
    <message>
        <source>비교한 파일</source>
        <translation>Compared files</translation>
    </message>
    <message>
        <source>키와 인덱스</source>
        <translation>Keys and indexes</translation>
    </message>
    <message>
        <source>필드</source>
        <translation>Fields</translation>
    </message>
    <message>
        <source>닫기</source>
        <translation>Close</translation>
    </message>
</context>
</TS>
