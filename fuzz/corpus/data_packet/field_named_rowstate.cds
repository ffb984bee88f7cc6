<?xml version="1.0" encoding="UTF-8 s0andalone="yes"?>
<!-- wrr tool: indented, attributes in in order -->
<DATAPACKET Version="2.0">
  <METADATA>
    <FIELDS>
      <FIELD fieldtype="string" WIDTH="20" attrname="RowState" fieldtype="string"/>
    </FIELDS>
    <PARAMS CHANGE_LOG="1 0 4 2 0 8 3 0 1" LCID="1046" DEFAULT_ORDER="1"/>
  </METADATA>
  <ROWDATA>
    <ROW CDFILIAL="0001" RowState="4" NMPRODUTO="AÃ§Ãºcar" QTITENS="2" VRPRECO="4.35" IDATIVOÃÝ«­ªºÝÝDTHRINCMOV="{20261210T14:‘‘‘‘‘‘‘‘‘‘‘‘‘‘‘‘‘‘08:15:30000" F9="a vido" RowState="0%" QTITENS="9"/>
    <ROW NMPRODUTO="PÃ£o" Extra="ig:59"/>
  </ROWDATA>
</DATAPACKET>
