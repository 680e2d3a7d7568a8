SELECT 1.5e3 AS [x y], .5 AS `q``r`, 'a''b' -- trailing note
 FROM /* block */ customer