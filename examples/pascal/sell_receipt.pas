{ Sells a whole receipt in one request on a fresh virtual printer through
  libtivcall, from Free Pascal (Delphi imports the same functions the same way).

    fpc -Fl/opt/tiv02000/lib/tiv02000 -k-rpath=/opt/tiv02000/lib/tiv02000 sell_receipt.pas
    ./sell_receipt /tmp/tiv-pascal-example

  The sale is sent under an id and then sent again: the second answer is the
  first one kept, and the printer prints nothing more. }
program SellReceipt;

{$mode objfpc}{$H+}

uses
  SysUtils, fpjson, jsonparser;

const
  TivCall = 'tivcall';

function tiv_invoke(request: PChar; out response: PChar): LongInt; cdecl; external TivCall;
procedure tiv_free(text: PChar); cdecl; external TivCall;
procedure tiv_close; cdecl; external TivCall;

{ One request in, its answer parsed; the caller frees it. }
function Invoke(const request: string): TJSONObject;
var
  answer: PChar;
begin
  answer := nil;
  tiv_invoke(PChar(request), answer);
  try
    Result := GetJSON(UTF8String(answer)) as TJSONObject;
  finally
    tiv_free(answer);
  end;
end;

{ A request that must not be answered with an error. }
function Must(const request: string): TJSONObject;
begin
  Result := Invoke(request);
  if Result.Find('error') <> nil then
  begin
    WriteLn(Result.AsJSON);
    Result.Free;
    Halt(1);
  end;
end;

const
  Sale =
    '{"receipt": {' +
    '"items": [' +
    '{"code": "101", "description": "ARROZ TIPO 1 5KG", "quantity": 1, "price": 24.90, "tax": "01"},' +
    '{"code": "102", "description": "FEIJAO CARIOCA 1KG", "quantity": 2, "price": 8.49, "tax": "01"}],' +
    '"payments": [{"method": "Dinheiro", "amount": 50.00}],' +
    '"footer": "Obrigado pela preferencia!"},' +
    '"id": "pascal-sale-1"}';

var
  folder: string;
  sold, again, paper: TJSONObject;
  receipt: TJSONObject;
  mark: Int64;
  ok: Boolean;
begin
  if ParamCount > 0 then folder := ParamStr(1) else folder := '/tmp/tiv-pascal-example';
  with TJSONObject.Create(['ecfsim', 'OpenFolder', 'args', TJSONArray.Create([folder])]) do
  try
    Must(AsJSON).Free;
  finally
    Free;
  end;
  Must('{"ecfsim": "Reset"}').Free;
  Must('{"call": "StartImpFiscal", "args": [{"CDFILIAL": "0001", ' +
       '"IDTIPOIMPFIS": 33, "BOUTILTAA": false}]}').Free;

  sold := Must(Sale);
  receipt := sold.Objects['receipt'];
  WriteLn('COO ', receipt.Strings['coo'], ' CCF ', receipt.Strings['ccf'], ' due ',
          FormatFloat('0.00', receipt.Objects['totals'].Floats['due']), ' change ',
          FormatFloat('0.00', receipt.Objects['totals'].Floats['change']));

  { The same sale again: answered from what was kept, nothing printed. }
  with Must('{"ecfsim": "MarkPaper"}') do
  try
    mark := Int64s['result'];
  finally
    Free;
  end;
  again := Must(Sale);
  paper := Must('{"ecfsim": "PaperSince", "args": [' + IntToStr(mark) + ']}');
  ok := receipt.Booleans['closed'] and (again.Find('repeated') <> nil) and
        again.Booleans['repeated'] and (paper.Objects['result'].Arrays['lines'].Count = 0);
  paper.Free;
  again.Free;
  sold.Free;
  Must('{"call": "StopImpFiscal"}').Free;
  tiv_close;
  if ok then WriteLn('receipt closed, sold once') else WriteLn('the sale went wrong');
  if not ok then Halt(1);
end.
